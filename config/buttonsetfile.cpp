#include "buttonsetfile.h"

#include "appendfile.h"
#include "codepage.h"
#include "configmodel.h"
#include "messagebox.h"
#include "messagetexts.h"
#include "regularfile.h"
#include "settingsfile.h"
#include "xmlfile.h"

#include <QDir>

#include <cstddef>
#include <cstring>

namespace {

// The fixed layout: 30 entries of 169 bytes, then 4 stations x 32 name slots of 64 bytes.
constexpr int kFixedButtons = 30;
constexpr int kEntrySize = 169;
constexpr int kEntryName = 1;
constexpr int kEntryNameSize = 40;
constexpr int kEntryInline = 41;
constexpr int kNamesOffset = 5070;
constexpr int kStationNamesSize = 2048;
constexpr int kSlotSize = 64;

XmlField g_buttonTable[] = {
    {"ENABLE", XML_INT, offsetof(ButtonRecord, ENABLE), sizeof(ButtonRecord::ENABLE), 0, nullptr, 0},
    {"NAME", XML_TEXT, offsetof(ButtonRecord, NAME), sizeof(ButtonRecord::NAME), 0, nullptr, 0},
    {"INLINE", XML_INT, offsetof(ButtonRecord, INLINE), sizeof(ButtonRecord::INLINE), 0, nullptr, 0},
    {"COLOR", XML_INT, offsetof(ButtonRecord, COLOR), sizeof(ButtonRecord::COLOR), 0, nullptr, 0},
    {"PROGRAM", XML_TEXT_ARRAY, offsetof(ButtonRecord, PROGRAM), sizeof(ButtonRecord::PROGRAM[0]), STATION_COUNT, nullptr, 0},
    {"", XML_END, 0, 0, 0, nullptr, 0},
};

XmlField g_buttonSetTable[] = {
    {"BUTTON", XML_RECORD_ARRAY, offsetof(ButtonTable, BUTTON), sizeof(ButtonRecord), BUTTON_COUNT, g_buttonTable, 0},
    {"", XML_END, 0, 0, 0, nullptr, 0},
};

XmlRoot g_buttonSetDocument[] = {
    {"PLAXON_USER_CONFIG", g_buttonSetTable, &g_Buttons},
    {"", nullptr, nullptr},
};

void ReportLoadError()
{
    ShowMessageBox(nullptr, MessageTextFor(MessageText::LoadError), ErrorCaption(), MsgIcon::Error, MsgButtons::Ok);
}

void LoadFixedLayout(QByteArray data)
{
    data.resize(FIXED_LAYOUT_SIZE, '\0');
    const char *buf = data.constData();
    std::memset(&g_Buttons, 0, sizeof g_Buttons);
    for (int b = 0; b < kFixedButtons; ++b) {
        const char *entry = buf + kEntrySize * b;
        ButtonRecord &button = g_Buttons.BUTTON[b];
        button.ENABLE = static_cast<unsigned char>(entry[0]);
        button.INLINE = static_cast<unsigned char>(entry[kEntryInline]);
        // Names without their NUL are cut to the field, never copied past it.
        CopyText(button.NAME, entry + kEntryName, kEntryNameSize);
        for (int s = 0; s < STATION_COUNT; ++s)
            CopyText(button.PROGRAM[s], buf + kNamesOffset + kStationNamesSize * s + kSlotSize * b, kSlotSize);
    }
}

// -1 not loadable, 1 fixed layout, 2 XML: told by the first byte and the length.
int ProbeBytes(const QByteArray &data)
{
    if (data.isEmpty())
        return -1;
    const char first = data[0];
    if (first == '<')
        return 2;
    if (data.size() == FIXED_LAYOUT_SIZE && (first == 0 || first == 1))
        return 1;
    return -1;
}

std::optional<QByteArray> ReadButtonSet(const char *path)
{
    if (!path || !*path)
        return std::nullopt;
    return ReadRegularFile(AnsiToQString(path));
}

} // namespace

XmlRoot *ButtonSetDocument()
{
    return g_buttonSetDocument;
}

int ProbeButtonSet(const char *path)
{
    const std::optional<QByteArray> data = ReadButtonSet(path);
    return data ? ProbeBytes(*data) : -1;
}

void LoadButtonSet(const char *path)
{
    // Read once: what was probed is what is loaded.
    std::optional<QByteArray> data = ReadButtonSet(path);
    switch (data ? ProbeBytes(*data) : -1) {
    case 1:
        LoadFixedLayout(std::move(*data));
        break;
    case 2: {
        std::memset(&g_Buttons, 0, sizeof g_Buttons);
        XmlFile file;
        file.OpenBytes(std::move(*data));
        file.ReadDocument(g_buttonSetDocument);
        file.Close();
        break;
    }
    default:
        ReportLoadError();
        break;
    }
}

int SaveButtonSet(const char *path)
{
    // A fixed mode whatever the umask, as for the journal inside it.
    MakeFixedModeFolder(QString::fromLatin1(DATA_DIR));
    return XmlFile::SaveDocument(path, g_buttonSetDocument);
}
