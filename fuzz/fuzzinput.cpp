#include "fuzzinput.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string &ScratchDir()
{
    static const std::string dir = [] {
        // Saves sync to disk; on a memory file system that costs nothing.
        const QString base = QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        std::string pattern = base.toStdString() + "/plaxon-fuzz-XXXXXX";
        if (!mkdtemp(pattern.data()))
            std::abort();
        return pattern;
    }();
    return dir;
}

} // namespace

const char *WriteFuzzInput(const uint8_t *data, size_t size)
{
    static const std::string path = ScratchDir() + "/input.xml";
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);
    return path.c_str();
}

const char *FuzzOutputPath()
{
    static const std::string path = ScratchDir() + "/output.xml";
    return path.c_str();
}
