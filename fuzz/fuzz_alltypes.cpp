// Any bytes read with a table that binds every value type of the engine, then
// written back out and read once more.
#include "alltypesdocument.h"
#include "fuzzinput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static AllTypesRecord record;
    const char *path = WriteFuzzInput(data, size);
    ClearAllTypes(record);
    {
        XmlFile file;
        if (file.OpenRead(path) == 0)
            file.ReadDocument(AllTypesDocument(record));
    }
    {
        XmlFile out;
        if (out.Create(FuzzOutputPath(), 1) == 0)
            out.WriteDocument(AllTypesDocument(record));
    }
    XmlFile again;
    if (again.OpenRead(FuzzOutputPath()) == 0)
        again.ReadDocument(AllTypesDocument(record));
    return 0;
}
