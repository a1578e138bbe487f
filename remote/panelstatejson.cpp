#include "panelstatejson.h"

#include "codepage.h"
#include "commandrecord.h"
#include "configmodel.h"
#include "connectionmanager.h"
#include "cplaxondlg.h"
#include "layouttypes.h"
#include "maintooltips.h"

#include <QColor>
#include <QJsonArray>

namespace {

const char *LinkStateName(int32_t state)
{
    switch (state) {
    case LINKS_FULL: return "full";
    case LINKS_PARTIAL: return "partial";
    default: return "none";
    }
}

// Station numbers 1..4 of the bits set in stations.
QJsonArray StationNumbers(uint32_t stations)
{
    QJsonArray numbers;
    for (int s = 0; s < STATION_COUNT; ++s)
        if ((stations >> s) & 1u)
            numbers.append(s + 1);
    return numbers;
}

QJsonObject Layout()
{
    const int inView = ButtonsInView(g_Settings.DIALOG);
    const int columns = ColumnsForLayout(g_Settings.DIALOG);
    return {{QStringLiteral("type"), int(g_Settings.DIALOG)},
            {QStringLiteral("columns"), columns},
            {QStringLiteral("rows"), (inView + columns - 1) / columns},
            {QStringLiteral("inView"), inView}};
}

QJsonArray Stations()
{
    QJsonArray stations;
    for (int s = 0; s < STATION_COUNT; ++s) {
        QJsonArray links;
        for (int i = 0; i < PORTS_PER_STATION; ++i) {
            if (!IsConfiguredLink(s, i))
                continue;
            const ClientSocket &link = Link(s * PORTS_PER_STATION + i);
            links.append(QJsonObject{{QStringLiteral("port"), qint64(link.Port())},
                                     {QStringLiteral("connected"), link.State() == LINK_CONNECTED},
                                     {QStringLiteral("error"), link.Error()},
                                     {QStringLiteral("text"), LinkStatusText(link)}});
        }
        stations.append(QJsonObject{{QStringLiteral("pc"), s + 1},
                                    {QStringLiteral("enabled"), g_Settings.PC[s].ENABLE != 0},
                                    {QStringLiteral("address"), FieldToQString(g_Settings.PC[s].ADDRESS)},
                                    {QStringLiteral("links"), links}});
    }
    return stations;
}

QJsonValue Color(uint32_t colorRef)
{
    if (colorRef == 0)
        return QJsonValue::Null;
    // Red in the low byte, as the button records keep it.
    return QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF))
        .name(QColor::HexRgb)
        .toUpper();
}

QJsonArray Buttons(const CPlaxonDlg *panel)
{
    const int inView = ButtonsInView(g_Settings.DIALOG);
    const uint32_t reachable = ReachableStations();
    QJsonArray buttons;
    for (int k = 0; k < BUTTON_COUNT; ++k) {
        const ButtonRecord &record = g_Buttons.BUTTON[k];
        const bool shown = record.ENABLE != 0;
        const uint32_t markers = shown && panel ? panel->MarkersOf(k) : 0;
        buttons.append(QJsonObject{{QStringLiteral("index"), k + 1},
                                   {QStringLiteral("shown"), shown},
                                   {QStringLiteral("inView"), k < inView},
                                   {QStringLiteral("caption"), shown ? FieldToQString(record.NAME) : QString()},
                                   {QStringLiteral("color"), shown ? Color(record.COLOR) : QJsonValue::Null},
                                   {QStringLiteral("inline"), shown && record.INLINE != 0},
                                   {QStringLiteral("markers"), StationNumbers(markers)},
                                   {QStringLiteral("reachable"), StationNumbers(markers & reachable)}});
    }
    return buttons;
}

QJsonObject Brightness(const CPlaxonDlg *panel)
{
    uint32_t selected = 0;
    for (int s = 0; panel && s < STATION_COUNT; ++s)
        if (panel->PcFlags()[s])
            selected |= 1u << s;
    return {{QStringLiteral("enabled"), g_Settings.BRIGHT_ENA != 0},
            {QStringLiteral("value"), panel ? int(panel->Brightness()) : 0},
            {QStringLiteral("selected"), StationNumbers(selected)}};
}

QJsonValue Last(const CPlaxonDlg *panel)
{
    if (!panel || !panel->LastDelivery().Built())
        return QJsonValue::Null;
    const CommandDelivery last = panel->LastDelivery().Current();
    const bool run = last.code == CMD_RUN || last.code == CMD_RUN_INLINE;
    QJsonValue argument = QJsonValue::Null;
    if (last.code == CMD_BRIGHTNESS) {
        argument = int(last.brightness);
    } else if (const std::optional<QByteArray> program = last.CommonProgram(); run && program) {
        argument = AnsiToQString(*program);
    }
    QJsonObject stations = DeliveryJson(last);
    if (run) {
        for (int s = 0; s < STATION_COUNT; ++s) {
            const QString key = QString::number(s + 1);
            if (!stations.contains(key))
                continue;
            QJsonObject station = stations.value(key).toObject();
            station.insert(QStringLiteral("program"), AnsiToQString(last.station[s].program));
            stations.insert(key, station);
        }
    }
    const int button = panel->LastLaunch();
    return QJsonObject{{QStringLiteral("command"), RemoteCommandName(last.code)},
                       {QStringLiteral("argument"), argument},
                       {QStringLiteral("button"), button >= 0 ? QJsonValue(button + 1) : QJsonValue::Null},
                       {QStringLiteral("time"), last.sentAt.toString(Qt::ISODateWithMs)},
                       {QStringLiteral("stations"), stations}};
}

// Why the links are down on purpose, or null.
QJsonValue Paused(const CPlaxonDlg *panel)
{
    if (panel && panel->Links().SettingsOpen())
        return QStringLiteral("settings");
    return QJsonValue::Null;
}

} // namespace

QString RemoteCommandName(int32_t code)
{
    switch (code) {
    case CMD_RUN:
    case CMD_RUN_INLINE: return QStringLiteral("launch");
    case CMD_PLAY: return QStringLiteral("play");
    case CMD_PAUSE: return QStringLiteral("pause");
    case CMD_STOP: return QStringLiteral("stop");
    case CMD_BRIGHTNESS: return QStringLiteral("brightness");
    default: return QString();
    }
}

QJsonObject DeliveryJson(const CommandDelivery &delivery)
{
    QJsonObject stations;
    const CommandDelivery now = delivery.Current();
    for (int s = 0; s < STATION_COUNT; ++s) {
        const StationDelivery &station = now.station[s];
        if (!station.meant)
            continue;
        stations.insert(QString::number(s + 1),
                        QJsonObject{{QStringLiteral("reached"), station.Count(LinkOutcome::Taken)},
                                    {QStringLiteral("inFlight"), station.Count(LinkOutcome::InFlight)
                                         + station.Count(LinkOutcome::Queued)},
                                    {QStringLiteral("links"), station.Configured()}});
    }
    return stations;
}

QJsonObject PanelStateJson(const CPlaxonDlg *panel, bool dialogOpen)
{
    return {{QStringLiteral("version"), QStringLiteral(PLAXON_VERSION)},
            {QStringLiteral("title"), panel ? panel->windowTitle() : QString()},
            {QStringLiteral("language"), LangIndex()},
            // The live links, not the last tick's count: a launch goes by them.
            {QStringLiteral("linkState"), QString::fromLatin1(LinkStateName(panel ? LinkState() : LINKS_NONE))},
            {QStringLiteral("paused"), Paused(panel)},
            {QStringLiteral("layout"), Layout()},
            {QStringLiteral("stations"), Stations()},
            {QStringLiteral("buttons"), Buttons(panel)},
            {QStringLiteral("brightness"), Brightness(panel)},
            {QStringLiteral("last"), Last(panel)},
            {QStringLiteral("dialogOpen"), dialogOpen}};
}
