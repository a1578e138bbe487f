#pragma once

// The growable array bound by the variable-array types of the XML engine: a
// count of zero-filled elements of one size.

#include <cstddef>
#include <vector>

class XmlVarArray {
public:
    // Counts read from a file are capped so that no document can exhaust memory.
    static constexpr size_t MAX_ELEMENTS = 4096;
    static constexpr size_t MAX_BYTES = 1u << 20;

    explicit XmlVarArray(size_t elementSize = 0) : m_elementSize(elementSize) {}

    size_t Count() const { return m_count; }
    size_t ElementSize() const { return m_elementSize; }
    unsigned char *Element(size_t i) { return m_data.data() + i * m_elementSize; }
    const unsigned char *Element(size_t i) const { return m_data.data() + i * m_elementSize; }

    void Clear();
    // Empties the array, then holds count zero-filled elements of elementSize
    // bytes (capped by the limits above).
    void Reset(size_t count, size_t elementSize);

private:
    std::vector<unsigned char> m_data;
    size_t m_count = 0;
    size_t m_elementSize;
};
