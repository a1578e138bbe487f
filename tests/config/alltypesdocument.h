#pragma once

// A document that binds every value type of the XML engine, shared by the
// engine's tests and its fuzz target.

#include "xmlfile.h"
#include "xmlvararray.h"

#include <cstdint>

struct AllTypesItem {
    uint32_t id;
    char label[8];
};

struct AllTypesRecord {
    char text[16];
    char16_t wtext[8];
    uint8_t i1;
    uint16_t i2;
    uint32_t i4;
    uint64_t i8;
    uint8_t h1;
    uint16_t h2;
    uint32_t h4;
    double r2;
    double r4;
    double r8;
    XmlDateCompact dc;
    XmlDate d;
    XmlDateTime dt;
    AllTypesItem items[3];
    char texts[4][10];
    char16_t wtexts[2][6];
    uint16_t hexes[3];
    XmlVarArray var{sizeof(AllTypesItem)};
};

// Clears every field (the variable array included).
void ClearAllTypes(AllTypesRecord &r);
// The top-level table "ALL" bound to r.
XmlRoot *AllTypesDocument(AllTypesRecord &r);
