// The cost of the reachability repaint on a timer tick: the main window with
// 40 shown launch buttons, each with the markers of all four stations. One
// station goes unreachable and back, turn about (every button repaints),
// against ticks on which nothing changed. Each figure is the window's
// reachability step plus the event processing that paints what it asked for.

#include "benchsupport.h"
#include "buttonsetfile.h"
#include "configmodel.h"
#include "cplaxondlg.h"
#include "layouttypes.h"
#include "markerbitmaps.h"
#include "messagebox.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

constexpr int kTicks = 2000;

double Tick(CPlaxonDlg &window, uint32_t reachable)
{
    const auto t0 = BenchClock::now();
    window.ApplyReachability(reachable);
    QCoreApplication::processEvents();
    return std::chrono::duration<double, std::micro>(BenchClock::now() - t0).count();
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    SetMessageBoxHandler([](const MessageBoxCall &) { return MSG_OK; });
    LoadMarkerBitmaps();
    // Stations without an address: markers, but no link that could change them behind the benchmark's back.
    for (int s = 0; s < STATION_COUNT; ++s)
        g_Settings.PC[s].ENABLE = 1;
    for (int k = 0; k < BUTTON_COUNT; ++k) {
        ButtonRecord &b = g_Buttons.BUTTON[k];
        b.ENABLE = 1;
        CopyText(b.NAME, QByteArray("Button " + QByteArray::number(k + 1)).constData());
        for (int s = 0; s < STATION_COUNT; ++s)
            CopyText(b.PROGRAM[s], "show\\program");
    }
    SaveButtonSet("bench.PUC");
    CopyText(g_Settings.LASTFNAME, "bench.PUC");

    CPlaxonDlg window(IDD_PLAXON_5X8);
    window.Create(IDD_PLAXON_5X8, nullptr);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QTest::qWait(100);

    QList<double> changed, same;
    for (int i = 0; i < kTicks; ++i) {
        changed << Tick(window, i % 2 ? 0x0F : 0x0D);
        same << Tick(window, i % 2 ? 0x0F : 0x0D);
    }
    std::printf("reachability on a tick, main window with %d buttons x %d markers (%s platform), %d ticks each\n",
                BUTTON_COUNT, STATION_COUNT, qPrintable(QGuiApplication::platformName()), kTicks);
    std::printf("  a station's reachability changed (%d buttons repaint): median %.1f us, p99 %.1f us\n",
                BUTTON_COUNT, Percentile(changed, 50), Percentile(changed, 99));
    std::printf("  nothing changed:                                       median %.1f us, p99 %.1f us\n",
                Percentile(same, 50), Percentile(same, 99));
    return 0;
}
