// The program browser on a tree of 100 folders with 1000 programs (opening:
// tree fill and first list; a search over all folders) and the button editor
// with four stations taking part; warm cache, median of several runs.

#include "codepage.h"
#include "configmodel.h"
#include "editmain.h"
#include "opendlg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool WriteFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir root;
    for (int f = 0; f < 100; ++f) {
        for (int p = 0; p < 10; ++p) {
            const QString dir = root.path() + QStringLiteral("/Folder%1/Program%2").arg(f).arg(p);
            if (!QDir().mkpath(dir) || !WriteFile(dir + "/program.prg", "x")
                || !WriteFile(dir + "/program.txt", "A description line\r\n"))
                return 1;
        }
    }
    std::vector<double> open, search, editor;
    for (int run = 0; run < 7; ++run) {
        OpenDlg dlg;
        dlg.SetRoot(root.path());
        QElapsedTimer t;
        t.start();
        dlg.Create(130, nullptr); // initialisation: tree fill, first list sorted by date
        open.push_back(double(t.nsecsElapsed()) / 1e6);
        dlg.DlgItem<QLineEdit>(2231)->setText(QStringLiteral("program"));
        t.restart();
        dlg.DlgItem<QPushButton>(2236)->click();
        search.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    for (StationRecord &pc : g_Settings.PC) {
        pc.ENABLE = 1;
        CopyText(pc.PATH, "/x");
    }
    for (int run = 0; run < 5; ++run) {
        EditMain editorDialog;
        QElapsedTimer t;
        t.start();
        editorDialog.Create(132, nullptr);
        editor.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("browser open (tree fill + first list): median %.1f ms\n", Median(open));
    std::printf("browser search over 100 folders / 1000 programs: median %.1f ms\n", Median(search));
    std::printf("button editor with four stations: median %.1f ms\n", Median(editor));
    return 0;
}
