#include "panelcommands.h"

#include "codepage.h"
#include "commandsender.h"
#include "configmodel.h"
#include "connectionmanager.h"
#include "cplaxondlg.h"
#include "layouttypes.h"

#include <QApplication>
#include <QSlider>

#include <algorithm>
#include <iterator>

namespace {

QString Tr(const char *czech, const char *english)
{
    return QString::fromUtf8(LangIndex() == 1 ? english : czech);
}

// The caption of launch button k as the journal quotes it, on one line.
QString QuotedCaption(int k)
{
    QString caption = FieldToQString(g_Buttons.BUTTON[k].NAME);
    caption.remove(QLatin1Char('\r')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QLatin1Char('"') + caption + QLatin1Char('"');
}

bool HasProgramForEnabledStation(int k)
{
    for (int s = 0; s < STATION_COUNT; ++s)
        if (g_Settings.PC[s].ENABLE && g_Buttons.BUTTON[k].PROGRAM[s][0] != '\0')
            return true;
    return false;
}

} // namespace

QString CommandSource::Text() const
{
    switch (kind) {
    case Kind::Panel: return QStringLiteral("panel");
    case Kind::Http: return QStringLiteral("http ") + address;
    case Kind::Osc: return QStringLiteral("osc ") + address;
    }
    return QString();
}

QString CommandSource::Sender() const
{
    if (kind == Kind::Panel)
        return QString();
    const qsizetype colon = address.lastIndexOf(u':');
    return colon < 0 ? address : address.left(colon);
}

QString Refusal::Text() const
{
    switch (kind) {
    case Kind::None: return QString();
    case Kind::NoSuchButton: return QStringLiteral("there is no button %1").arg(number);
    case Kind::NotShown: return QStringLiteral("button %1 is not shown").arg(number);
    case Kind::OutOfView: return QStringLiteral("button %1 is out of view").arg(number);
    case Kind::DialogOpen: return QStringLiteral("a dialog of the panel is open");
    case Kind::NoLinks: return QStringLiteral("no station is connected");
    case Kind::NoProgram: return QStringLiteral("button %1 has no program for an enabled station").arg(number);
    case Kind::BrightnessOff: return QStringLiteral("brightness control is off");
    case Kind::StationNotEnabled: return QStringLiteral("station %1 is not enabled").arg(number);
    case Kind::NoStationTicked: return QStringLiteral("no station is ticked");
    }
    return QString();
}

QString Refusal::LocalText() const
{
    switch (kind) {
    case Kind::None: return QString();
    case Kind::NoSuchButton: return Tr("tlačítko %1 neexistuje", "there is no button %1").arg(number);
    case Kind::NotShown: return Tr("tlačítko %1 není zobrazeno", "button %1 is not shown").arg(number);
    case Kind::OutOfView: return Tr("tlačítko %1 je mimo okno", "button %1 is out of view").arg(number);
    case Kind::DialogOpen: return Tr("na panelu je otevřené okno", "a dialog of the panel is open");
    case Kind::NoLinks: return Tr("žádná stanice není připojena", "no station is connected");
    case Kind::NoProgram:
        return Tr("tlačítko %1 nemá program pro žádnou zapnutou stanici",
                  "button %1 has no program for an enabled station")
            .arg(number);
    case Kind::BrightnessOff: return Tr("ovládání jasu je vypnuté", "brightness control is off");
    case Kind::StationNotEnabled: return Tr("stanice %1 není zapnutá", "station %1 is not enabled").arg(number);
    case Kind::NoStationTicked: return Tr("není zaškrtnutá žádná stanice", "no station is ticked");
    }
    return QString();
}

QString PanelCommands::CommandText(const PanelCommand &command)
{
    switch (command.action) {
    case PanelAction::Launch: {
        QString text = QStringLiteral("launch %1").arg(command.button);
        if (command.button >= 1 && command.button <= BUTTON_COUNT)
            text += QLatin1Char(' ') + QuotedCaption(command.button - 1);
        return text;
    }
    case PanelAction::Play: return QStringLiteral("play");
    case PanelAction::Pause: return QStringLiteral("pause");
    case PanelAction::Stop: return QStringLiteral("stop");
    case PanelAction::Brightness: return QStringLiteral("brightness %1").arg(command.brightness);
    }
    return QString();
}

bool PanelCommands::DialogOpen() const
{
    // The panel runs modal itself: any other modal window is one of its dialogs.
    const QWidget *modal = QApplication::activeModalWidget();
    return modal && modal != &m_panel;
}

Refusal PanelCommands::Check(const PanelCommand &command) const
{
    using Kind = Refusal::Kind;
    // Whether a station can be reached is asked of the links themselves: the
    // last tick may be half a second old, or from before the settings dialog.
    const bool linksUp = LinkState() != LINKS_NONE;
    switch (command.action) {
    case PanelAction::Launch: {
        const int n = command.button;
        if (n < 1 || n > BUTTON_COUNT)
            return {Kind::NoSuchButton, n};
        if (DialogOpen())
            return {Kind::DialogOpen, 0};
        if (!g_Buttons.BUTTON[n - 1].ENABLE)
            return {Kind::NotShown, n};
        if (n - 1 >= ButtonsInView(g_Settings.DIALOG))
            return {Kind::OutOfView, n};
        if (!linksUp)
            return {Kind::NoLinks, 0};
        if (!HasProgramForEnabledStation(n - 1))
            return {Kind::NoProgram, n};
        return {};
    }
    case PanelAction::Stop:
        // A stage manager must always be able to stop, whatever is open.
        return linksUp ? Refusal{} : Refusal{Kind::NoLinks, 0};
    case PanelAction::Play:
    case PanelAction::Pause:
        if (DialogOpen())
            return {Kind::DialogOpen, 0};
        return linksUp ? Refusal{} : Refusal{Kind::NoLinks, 0};
    case PanelAction::Brightness:
        if (DialogOpen())
            return {Kind::DialogOpen, 0};
        if (!g_Settings.BRIGHT_ENA)
            return {Kind::BrightnessOff, 0};
        if (command.stations) {
            // As on the panel: stations 2 to 4 can be ticked only while enabled.
            for (int s = 1; s < STATION_COUNT; ++s)
                if ((*command.stations >> s) & 1u && !g_Settings.PC[s].ENABLE)
                    return {Kind::StationNotEnabled, s + 1};
        }
        // Refused before the slider moves: nothing would be sent.
        unsigned char stations[STATION_COUNT] = {};
        StationsFor(command, stations);
        if (std::none_of(std::begin(stations), std::end(stations), [](unsigned char s) { return s != 0; }))
            return {Kind::NoStationTicked, 0};
        return {};
    }
    return {};
}

void PanelCommands::StationsFor(const PanelCommand &command, unsigned char (&stations)[STATION_COUNT]) const
{
    for (int s = 0; s < STATION_COUNT; ++s)
        stations[s] = command.stations ? ((*command.stations >> s) & 1u) : (m_panel.PcFlags()[s] != 0);
}

CommandDelivery PanelCommands::Send(const PanelCommand &command)
{
    switch (command.action) {
    case PanelAction::Launch: return SendLaunch(command.button - 1);
    case PanelAction::Play: return SendPlay();
    case PanelAction::Pause: return SendPause();
    case PanelAction::Stop: return SendStop();
    case PanelAction::Brightness: break;
    }
    unsigned char stations[STATION_COUNT] = {};
    StationsFor(command, stations);
    CommandDelivery delivery;
    SendBrightness(std::clamp(command.brightness, 0, PanelCommand::BRIGHTNESS_MAX), stations, m_panel.m_brightness,
                   &delivery);
    if (m_panel.m_slider)
        m_panel.m_slider->setValue(m_panel.m_brightness);
    return delivery;
}

CommandOutcome PanelCommands::Run(const PanelCommand &command, const CommandSource &source)
{
    CommandOutcome outcome;
    outcome.refusal = Check(command);
    if (outcome.refusal) {
        Record(command, source, outcome);
        return outcome;
    }
    outcome.delivery = Send(command);
    Record(command, source, outcome);
    m_panel.Sent(outcome.delivery);
    if (command.action == PanelAction::Launch)
        m_panel.MarkLastLaunch(command.button - 1);
    else if (command.action == PanelAction::Stop)
        m_panel.MarkLastLaunch(-1);
    return outcome;
}

void PanelCommands::Record(const PanelCommand &command, const CommandSource &source, const CommandOutcome &outcome)
{
    if (outcome.refusal) {
        m_panel.m_journal.AppendRemark(
            Journal::RefusalText(source.Text(), CommandText(command), outcome.refusal.Text()), source.Sender());
        return;
    }
    QString origin = source.Text();
    if (command.action == PanelAction::Launch)
        origin += QStringLiteral("  button %1 %2").arg(command.button).arg(QuotedCaption(command.button - 1));
    m_panel.m_journal.AppendCommand(outcome.delivery, origin);
}
