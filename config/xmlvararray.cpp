#include "xmlvararray.h"

void XmlVarArray::Clear()
{
    m_data.clear();
    m_data.shrink_to_fit();
    m_count = 0;
}

void XmlVarArray::Reset(size_t count, size_t elementSize)
{
    Clear();
    m_elementSize = elementSize;
    if (count == 0 || elementSize == 0)
        return;
    if (count > MAX_ELEMENTS)
        count = MAX_ELEMENTS;
    if (count > MAX_BYTES / elementSize)
        count = MAX_BYTES / elementSize;
    m_data.assign(count * elementSize, 0);
    m_count = count;
}
