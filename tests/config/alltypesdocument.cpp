#include "alltypesdocument.h"

#include <cstddef>
#include <cstring>

namespace {

XmlField g_itemTable[] = {
    {"ID", XML_INT, offsetof(AllTypesItem, id), 4, 0, nullptr, 0},
    {"LABEL", XML_TEXT, offsetof(AllTypesItem, label), sizeof(AllTypesItem::label), 0, nullptr, 0},
    {"", XML_END, 0, 0, 0, nullptr, 0},
};

#define AT(member) offsetof(AllTypesRecord, member)
XmlField g_allTable[] = {
    {"TEXT", XML_TEXT, AT(text), sizeof(AllTypesRecord::text), 0, nullptr, 0},
    {"WTEXT", XML_WTEXT, AT(wtext), sizeof(AllTypesRecord::wtext), 0, nullptr, 0},
    {"I1", XML_INT, AT(i1), 1, 0, nullptr, 0},
    {"I2", XML_INT, AT(i2), 2, 0, nullptr, 0},
    {"I4", XML_INT, AT(i4), 4, 0, nullptr, 0},
    {"I8", XML_INT, AT(i8), 8, 0, nullptr, 0},
    {"H1", XML_HEX, AT(h1), 1, 0, nullptr, 0},
    {"H2", XML_HEX, AT(h2), 2, 0, nullptr, 0},
    {"H4", XML_HEX, AT(h4), 4, 0, nullptr, 0},
    {"R2", XML_REAL2, AT(r2), 8, 0, nullptr, 0},
    {"R4", XML_REAL4, AT(r4), 8, 0, nullptr, 0},
    {"R8", XML_REAL8, AT(r8), 8, 0, nullptr, 0},
    {"DC", XML_DATE_COMPACT, AT(dc), sizeof(XmlDateCompact), 0, nullptr, 0},
    {"D", XML_DATE, AT(d), sizeof(XmlDate), 0, nullptr, 0},
    {"DT", XML_DATETIME, AT(dt), sizeof(XmlDateTime), 0, nullptr, 0},
    {"ITEM", XML_RECORD_ARRAY, AT(items), sizeof(AllTypesItem), 3, g_itemTable, 0},
    {"T", XML_TEXT_ARRAY, AT(texts), sizeof(AllTypesRecord::texts[0]), 4, nullptr, 0},
    {"W", XML_WTEXT_ARRAY, AT(wtexts), sizeof(AllTypesRecord::wtexts[0]), 2, nullptr, 0},
    {"X", XML_HEX_ARRAY, AT(hexes), sizeof(uint16_t), 3, nullptr, 0},
    {"N", XML_VAR_COUNT, AT(var), sizeof(AllTypesItem), 0, nullptr, 0},
    {"V", XML_VAR_ARRAY, AT(var), sizeof(AllTypesItem), 0, g_itemTable, 0},
    {"", XML_END, 0, 0, 0, nullptr, 0},
};
#undef AT

} // namespace

void ClearAllTypes(AllTypesRecord &r)
{
    // Everything before the variable array is plain data.
    std::memset(static_cast<void *>(&r), 0, offsetof(AllTypesRecord, var));
    r.var.Clear();
}

XmlRoot *AllTypesDocument(AllTypesRecord &r)
{
    static XmlRoot roots[2];
    roots[0] = {"ALL", g_allTable, &r};
    roots[1] = {"", nullptr, nullptr};
    return roots;
}
