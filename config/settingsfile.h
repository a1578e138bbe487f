#pragma once

// The settings record's file, PLAXONDATA/PlaxonCfg.xml below the current directory.

class QDateTime;
struct XmlRoot;

extern const char DATA_DIR[];      // "PLAXONDATA"
extern const char SETTINGS_PATH[]; // "PLAXONDATA/PlaxonCfg.xml"

// Clears g_Settings, reads the file if there is one, then normalizes it.
// Never reports anything.
void LoadSettings();
// What every settings record in use derives from its fields: the port lists,
// and station 1 always on. Run after a load, or on a record kept in memory.
void NormalizeSettings();
// Writes g_Settings to the file; 0 on success. The previous file is replaced
// only by a complete new one.
int SaveSettings();

// Removes what saves interrupted by a kill or a power cut left in
// PLAXONDATA before startedAt: the temporaries of the settings, of button
// sets and of the remote's token, nothing else. The number removed.
int RemoveStaleTemporaries(const QDateTime &startedAt);

// Rebuilds every station's port list from its SOCKET text.
void DerivePorts();

// The document's top-level table, for tools that read or write it directly.
XmlRoot *SettingsDocument();
