#include "settingsfile.h"

#include "appendfile.h"
#include "configmodel.h"
#include "safefilewrite.h"
#include "xmlfile.h"

#include <QDateTime>
#include <QDir>

#include <cstddef>
#include <cstring>

const char DATA_DIR[] = "PLAXONDATA";
const char SETTINGS_PATH[] = "PLAXONDATA/PlaxonCfg.xml";

namespace {

XmlField g_stationTable[] = {
    {"ENABLE", XML_INT, offsetof(StationRecord, ENABLE), sizeof(StationRecord::ENABLE), 0, nullptr, 0},
    {"ADDRESS", XML_TEXT, offsetof(StationRecord, ADDRESS), sizeof(StationRecord::ADDRESS), 0, nullptr, 0},
    {"SOCKET", XML_TEXT, offsetof(StationRecord, SOCKET), sizeof(StationRecord::SOCKET), 0, nullptr, 0},
    {"PATH", XML_TEXT, offsetof(StationRecord, PATH), sizeof(StationRecord::PATH), 0, nullptr, 0},
    {"", XML_END, 0, 0, 0, nullptr, 0},
};

XmlField g_settingsTable[] = {
    {"LANG", XML_INT, offsetof(SettingsRecord, LANG), sizeof(SettingsRecord::LANG), 0, nullptr, 0},
    {"DIALOG", XML_INT, offsetof(SettingsRecord, DIALOG), sizeof(SettingsRecord::DIALOG), 0, nullptr, 0},
    {"DLG_MULTILINE", XML_INT, offsetof(SettingsRecord, DLG_MULTILINE), sizeof(SettingsRecord::DLG_MULTILINE), 0, nullptr, 0},
    {"BRIGHT_ENA", XML_INT, offsetof(SettingsRecord, BRIGHT_ENA), sizeof(SettingsRecord::BRIGHT_ENA), 0, nullptr, 0},
    {"LASTPROG", XML_TEXT, offsetof(SettingsRecord, LASTPROG), sizeof(SettingsRecord::LASTPROG), 0, nullptr, 0},
    {"LASTFNAME", XML_TEXT, offsetof(SettingsRecord, LASTFNAME), sizeof(SettingsRecord::LASTFNAME), 0, nullptr, 0},
    {"PC", XML_RECORD_ARRAY, offsetof(SettingsRecord, PC), sizeof(StationRecord), STATION_COUNT, g_stationTable, 0},
    {"", XML_END, 0, 0, 0, nullptr, 0},
};

XmlRoot g_settingsDocument[] = {
    {"PLAXON_CONFIG", g_settingsTable, &g_Settings},
    {"", nullptr, nullptr},
};

// One "%u" of the "%u,%u,%u,%u" pattern: leading white space, an optional '+',
// digits. A number that is no TCP port ends the list like a non-number.
bool ParsePort(const char *&s, uint32_t &port)
{
    const char *p = s;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\v' || *p == '\f')
        ++p;
    if (*p == '+')
        ++p;
    if (*p < '0' || *p > '9')
        return false;
    uint32_t value = 0;
    while (*p >= '0' && *p <= '9') {
        value = value * 10 + uint32_t(*p++ - '0');
        if (value > 65535)
            return false;
    }
    port = value;
    s = p;
    return true;
}

} // namespace

XmlRoot *SettingsDocument()
{
    return g_settingsDocument;
}

void DerivePorts()
{
    for (StationRecord &pc : g_Settings.PC) {
        std::memset(pc.PORT, 0, sizeof pc.PORT);
        // SOCKET is terminated by every copy into it; bound the walk all the same.
        char text[sizeof pc.SOCKET];
        CopyText(text, pc.SOCKET, sizeof pc.SOCKET);
        const char *s = text;
        for (int i = 0; i < PORTS_PER_STATION; ++i) {
            if (i > 0) {
                if (*s != ',')
                    break;
                ++s;
            }
            if (!ParsePort(s, pc.PORT[i]))
                break;
        }
        if (pc.PORT[0] == 0)
            pc.PORT[0] = DEFAULT_PORT;
    }
}

void LoadSettings()
{
    std::memset(&g_Settings, 0, sizeof g_Settings);
    XmlFile file;
    if (file.OpenRead(SETTINGS_PATH) == 0) {
        file.ReadDocument(g_settingsDocument);
        file.Close();
    }
    NormalizeSettings();
}

void NormalizeSettings()
{
    DerivePorts();
    g_Settings.PC[0].ENABLE = 1;
}

int RemoveStaleTemporaries(const QDateTime &startedAt)
{
    const QString settingsName = QString::fromLatin1(SETTINGS_PATH).section(QLatin1Char('/'), -1);
    return RemoveStaleSaveTemporaries(
        QString::fromLatin1(DATA_DIR),
        [&settingsName](const QString &target) {
            return target == settingsName || target == QLatin1String("remote-token")
                || target.endsWith(QLatin1String(".PUC"), Qt::CaseInsensitive);
        },
        startedAt);
}

int SaveSettings()
{
    // A fixed mode whatever the umask, as for the journal inside it.
    MakeFixedModeFolder(QString::fromLatin1(DATA_DIR));
    return XmlFile::SaveDocument(SETTINGS_PATH, g_settingsDocument);
}
