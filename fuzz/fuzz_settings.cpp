// Any bytes as the settings file: read with the settings table, derive the
// port lists, and write the result back out.
#include "configmodel.h"
#include "fuzzinput.h"
#include "settingsfile.h"
#include "xmlfile.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = WriteFuzzInput(data, size);
    std::memset(&g_Settings, 0, sizeof g_Settings);
    {
        XmlFile file;
        if (file.OpenRead(path) == 0)
            file.ReadDocument(SettingsDocument());
    }
    DerivePorts();
    XmlFile out;
    if (out.Create(FuzzOutputPath(), 1) == 0) {
        out.WriteDocument(SettingsDocument());
        out.Close();
    }
    return 0;
}
