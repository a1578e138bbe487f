// Any bytes as a button set file: probe and load, as the Load button does.
#include "buttonsetfile.h"
#include "configmodel.h"
#include "fuzzinput.h"
#include "messagebox.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool handlerSet = [] {
        SetMessageBoxHandler([](const MessageBoxCall &) { return MSG_OK; });
        return true;
    }();
    (void)handlerSet;
    const char *path = WriteFuzzInput(data, size);
    const int kind = ProbeButtonSet(path);
    if (kind != -1 && kind != 1 && kind != 2)
        std::abort();
    LoadButtonSet(path);
    return 0;
}
