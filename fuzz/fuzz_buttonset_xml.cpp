// Any bytes read with the button set table, then written back out.
#include "buttonsetfile.h"
#include "configmodel.h"
#include "fuzzinput.h"
#include "xmlfile.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const char *path = WriteFuzzInput(data, size);
    std::memset(&g_Buttons, 0, sizeof g_Buttons);
    {
        XmlFile file;
        if (file.OpenRead(path) == 0)
            file.ReadDocument(ButtonSetDocument());
    }
    XmlFile out;
    if (out.Create(FuzzOutputPath(), 1) == 0) {
        out.WriteDocument(ButtonSetDocument());
        out.Close();
    }
    return 0;
}
