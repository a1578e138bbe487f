// Time from process start to the main window shown, and peak memory, for the
// panel on the demo installation beside a bare dialog with 40 push buttons.
// The parent starts each as a child process in turn and reads what it reports.

#include "cplaxondlg.h"
#include "layouttypes.h"
#include "markerbitmaps.h"
#include "messagebox.h"
#include "settingsfile.h"
#include "configmodel.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGridLayout>
#include <QProcess>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

long PeakKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

int Child(int argc, char **argv, bool panel)
{
    QApplication app(argc, argv);
    std::unique_ptr<QDialog> window;
    if (panel) {
        SetMessageBoxHandler([](const MessageBoxCall &) { return MSG_OK; });
        LoadMarkerBitmaps();
        LoadSettings();
        auto *dlg = new CPlaxonDlg(TemplateForLayout(g_Settings.DIALOG, IDD_PLAXON_5X8));
        window.reset(dlg);
        dlg->Create(dlg->TemplateId(), nullptr);
    } else {
        window = std::make_unique<QDialog>();
        auto *grid = new QGridLayout(window.get());
        for (int i = 0; i < BUTTON_COUNT; ++i)
            grid->addWidget(new QPushButton(QStringLiteral("Button %1").arg(i + 1)), i / 5, i % 5);
    }
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return 1;
    std::printf("shown %ld\n", PeakKilobytes());
    std::fflush(stdout);
    return 0;
}

struct Figures {
    std::vector<double> ms;
    long peakKb = 0;
};

bool RunOnce(const QString &self, const char *mode, const QString &dir, Figures &f)
{
    QProcess child;
    child.setWorkingDirectory(dir);
    QElapsedTimer clock;
    clock.start();
    child.start(self, {QString::fromLatin1(mode)});
    if (!child.waitForStarted() || !child.waitForReadyRead(30000))
        return false;
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    const QByteArray line = child.readLine().trimmed();
    child.waitForFinished(30000);
    if (!line.startsWith("shown "))
        return false;
    f.ms.push_back(ms);
    f.peakKb = std::max(f.peakKb, line.mid(6).toLong());
    return true;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && QByteArray(argv[1]) == "--panel")
        return Child(argc, argv, true);
    if (argc > 1 && QByteArray(argv[1]) == "--bare")
        return Child(argc, argv, false);

    QCoreApplication app(argc, argv);
    const QString self = QCoreApplication::applicationFilePath();
    const QString demo = QStringLiteral(PLAXON_DEMO_DIR);
    const int runs = argc > 1 ? std::max(3, std::atoi(argv[1])) : 15;
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    Figures panel, bare;
    for (int i = 0; i < runs; ++i) {
        if (!RunOnce(self, "--bare", demo, bare) || !RunOnce(self, "--panel", demo, panel)) {
            std::fprintf(stderr, "a child did not show its window\n");
            return 1;
        }
    }
    std::printf("start to window shown, %d runs each, platform %s\n", runs, qgetenv("QT_QPA_PLATFORM").constData());
    std::printf("%-34s %10s %12s\n", "", "median ms", "peak RSS KB");
    const QByteArray bareLabel = "bare QDialog, " + QByteArray::number(BUTTON_COUNT) + " push buttons";
    std::printf("%-34s %10.1f %12ld\n", bareLabel.constData(), Median(bare.ms), bare.peakKb);
    std::printf("%-34s %10.1f %12ld\n", "Plaxon main window (demo)", Median(panel.ms), panel.peakKb);
    std::printf("ratio: time %.2f, memory %.2f\n", Median(panel.ms) / Median(bare.ms), double(panel.peakKb) / double(bare.peakKb));
    return 0;
}
