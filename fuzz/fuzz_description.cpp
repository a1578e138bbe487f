// Any bytes as the start of a program.txt: the description the program
// browser shows for it.
#include "programlist.h"

#include <QByteArray>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = ProgramList::DescriptionFromBytes(
        QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    // The field holds DESCRIPTION_MAX characters and no half of a pair.
    if (text.size() > ProgramList::DESCRIPTION_MAX || (!text.isEmpty() && text.back().isHighSurrogate()))
        std::abort();
    return 0;
}
