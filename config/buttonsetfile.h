#pragma once

// Button set files (*.PUC): the whole button table as UTF-8 XML, and the
// earlier fixed layout of exactly 13,262 bytes, which is read but never written.

struct XmlRoot;

constexpr long FIXED_LAYOUT_SIZE = 13262;

// -1 not loadable, 1 fixed layout, 2 XML.
int ProbeButtonSet(const char *path);
// Replaces g_Buttons with the file's buttons, or tells the operator (in the
// current language) that the file cannot be loaded and leaves them as they are.
void LoadButtonSet(const char *path);
// Writes g_Buttons as XML; 0 on success. The previous file is replaced only
// by a complete new one.
int SaveButtonSet(const char *path);

XmlRoot *ButtonSetDocument();
