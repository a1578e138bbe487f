#pragma once

// The settings record's file, PLAXONDATA/PlaxonCfg.xml below the current directory.

struct XmlRoot;

extern const char DATA_DIR[];      // "PLAXONDATA"
extern const char SETTINGS_PATH[]; // "PLAXONDATA/PlaxonCfg.xml"

// Clears g_Settings, reads the file if there is one, derives the port lists
// and forces station 1 on. Never reports anything.
void LoadSettings();
// Writes g_Settings to the file; 0 on success. The previous file is replaced
// only by a complete new one.
int SaveSettings();

// Rebuilds every station's port list from its SOCKET text.
void DerivePorts();

// The document's top-level table, for tools that read or write it directly.
XmlRoot *SettingsDocument();
