// Load and save of a full 40-button set with every field filled, beside
// QXmlStreamReader merely tokenising the same file, in one run.

#include "buttonsetfile.h"
#include "codepage.h"
#include "configmodel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

namespace {

void FillEveryField()
{
    // Czech letters and characters that need escaping, every field to capacity.
    const QByteArray caption = QByteArray("P\xF8\xED\x9Ei\xE8 & <\"kon\xE8\xED\">").leftJustified(39, 'x', true);
    for (int b = 0; b < BUTTON_COUNT; ++b) {
        ButtonRecord &button = g_Buttons.BUTTON[b];
        button.ENABLE = 1;
        button.INLINE = b % 2;
        button.COLOR = 0x00FFFFFFu - uint32_t(b);
        CopyText(button.NAME, caption.constData());
        for (int s = 0; s < STATION_COUNT; ++s) {
            const QByteArray name = ("sc\xE9na\\" + QByteArray::number(b) + "\\" + QByteArray::number(s)).leftJustified(79, 'p', true);
            CopyText(button.PROGRAM[s], name.constData());
        }
    }
}

struct Stats {
    double median;
    double p99;
};

Stats Measure(int runs, const std::function<void()> &op)
{
    std::vector<double> us;
    us.reserve(size_t(runs));
    for (int i = 0; i < runs; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        op();
        const auto t1 = std::chrono::steady_clock::now();
        us.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[std::min(us.size() - 1, us.size() * 99 / 100)]};
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
    QTemporaryDir dir;
    if (!dir.isValid() || !QDir::setCurrent(dir.path()))
        return 1;
    const char *path = "PLAXONDATA/full.PUC";

    FillEveryField();
    ButtonTable expected;
    std::memcpy(&expected, &g_Buttons, sizeof expected);

    const Stats save = Measure(runs, [&] {
        if (SaveButtonSet(path) != 0)
            std::abort();
    });
    const qint64 bytes = QFile(path).size();
    const Stats load = Measure(runs, [&] { LoadButtonSet(path); });
    if (std::memcmp(&expected, &g_Buttons, sizeof expected) != 0) {
        std::fprintf(stderr, "the set did not read back unchanged\n");
        return 1;
    }
    const Stats tokenise = Measure(runs, [&] {
        QFile f(QString::fromLatin1(path));
        if (!f.open(QIODevice::ReadOnly))
            std::abort();
        QXmlStreamReader xml(&f);
        int tokens = 0;
        while (!xml.atEnd()) {
            xml.readNext();
            ++tokens;
        }
        if (xml.hasError() || tokens < 400)
            std::abort();
    });

    std::printf("full %d-button set, %lld bytes, %d runs each (microseconds)\n", BUTTON_COUNT, bytes, runs);
    std::printf("%-28s %10s %10s\n", "", "median", "p99");
    std::printf("%-28s %10.1f %10.1f\n", "SaveButtonSet", save.median, save.p99);
    std::printf("%-28s %10.1f %10.1f\n", "LoadButtonSet", load.median, load.p99);
    std::printf("%-28s %10.1f %10.1f\n", "QXmlStreamReader tokenise", tokenise.median, tokenise.p99);
    return 0;
}
