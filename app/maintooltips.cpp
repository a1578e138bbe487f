#include "maintooltips.h"

#include "codepage.h"
#include "commanddelivery.h"
#include "commandrecord.h"
#include "configmodel.h"
#include "connectionmanager.h"
#include "socketerrors.h"

#include <QStringList>

QString LinkStatusText(const ClientSocket &link)
{
    if (link.State() == LINK_CONNECTED)
        return QStringLiteral("* OK connected *");
    // The system's texts are at most 299 characters; they follow LANG.
    return QStringLiteral("Err: %1  ").arg(uint32_t(link.Error()))
        + QString::fromUtf8(SocketErrorText(link.Error(), LangIndex())).left(299);
}

QString StatusListText()
{
    QString text;
    ForEachConfiguredLink([&text](int station, int, int index) {
        const ClientSocket &link = Link(index);
        if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
            text += QStringLiteral("\r\n");
        // The station's name first: which one is down must show at a glance.
        text += QStringLiteral("PC%1 ").arg(station + 1) + AnsiToQString(link.Address())
            + QStringLiteral(":%1  ").arg(link.Port()) + LinkStatusText(link);
    });
    return text;
}

namespace {

QString Tr(const char *czech, const char *english)
{
    return QString::fromUtf8(LangIndex() == 1 ? english : czech);
}

QString ReasonText(const LinkDelivery &link)
{
    switch (link.outcome) {
    case LinkOutcome::NotConnected: return Tr("nepřipojeno", "not connected");
    case LinkOutcome::InFlight: return Tr("na cestě: stanice ho zatím nepotvrdila", "in flight: not acknowledged by the station yet");
    case LinkOutcome::Queued: return Tr("čeká ve frontě", "waiting in queue");
    case LinkOutcome::Dropped: return Tr("zahozeno: fronta plná", "dropped: queue full");
    case LinkOutcome::Failed: return Tr("odeslání selhalo (%1)", "sending failed (%1)").arg(link.error);
    case LinkOutcome::Lost: return Tr("ztraceno: spojení skončilo", "lost: the connection ended");
    default: return QString();
    }
}

QString Quoted(const QByteArray &program)
{
    return QLatin1Char('"') + AnsiToQString(program) + QLatin1Char('"');
}

} // namespace

QString DeliveryText(const CommandDelivery &sent)
{
    if (!sent.Built())
        return QString();
    const CommandDelivery now = sent.Current();
    // A run names its program once when every station got the same one,
    // otherwise on each station's line.
    const std::optional<QByteArray> common = now.CommonProgram();
    const bool oneProgram = common.has_value();
    const bool run = now.code == CMD_RUN || now.code == CMD_RUN_INLINE;
    QString command = QString::fromLatin1(CommandName(now.code));
    if (now.code == CMD_BRIGHTNESS)
        command += QStringLiteral(" %1").arg(now.brightness);
    else if (run && oneProgram)
        command += QLatin1Char(' ') + Quoted(*common);
    QStringList lines;
    lines << Tr("Poslední příkaz: %1, odeslán v %2", "Last command: %1, sent at %2")
                 .arg(command, now.sentAt.time().toString(QStringLiteral("HH:mm:ss")));
    for (int s = 0; s < STATION_COUNT; ++s) {
        const StationDelivery &st = now.station[s];
        if (!st.meant)
            continue;
        QString line = QStringLiteral("PC%1").arg(s + 1);
        if (run && !oneProgram)
            line += QLatin1Char(' ') + Quoted(st.program);
        line += QStringLiteral(": ")
            + Tr("celý záznam převzalo %1 z %2 spojení", "%1 of %2 links took the whole record")
                  .arg(st.Count(LinkOutcome::Taken))
                  .arg(st.Configured());
        for (const LinkDelivery &link : st.link)
            if (link.outcome != LinkOutcome::None && link.outcome != LinkOutcome::Taken)
                line += Tr("; port %1: %2", "; port %1: %2").arg(link.port).arg(ReasonText(link));
        lines << line;
    }
    return lines.join(QStringLiteral("\r\n"));
}

QString StatusTooltip(const CommandDelivery &last, const QString &journalFailure)
{
    QString text = StatusListText();
    for (const QString &more : {DeliveryText(last), journalFailure}) {
        if (more.isEmpty())
            continue;
        if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
            text += QStringLiteral("\r\n");
        text += QStringLiteral("\r\n") + more;
    }
    return text;
}

QString LaunchButtonTooltip(int button)
{
    if (button < 0 || button >= BUTTON_COUNT)
        return QString();
    QStringList lines;
    for (int s = 0; s < STATION_COUNT; ++s) {
        if (g_Settings.PC[s].ENABLE)
            lines << QStringLiteral("PC%1:  %2").arg(s + 1).arg(FieldToQString(g_Buttons.BUTTON[button].PROGRAM[s]));
    }
    return lines.join(QStringLiteral("\r\n"));
}

QString HelpText(int controlId)
{
    static const struct {
        int id;
        const char *english;
        const char *czech;
    } table[] = {
        {1901, "F1 - enable PC1 bright control", "F1 - povolit u PC1 aktualizaci jasu"},
        {1902, "F2 - enable PC2 bright control", "F2 - povolit u PC2 aktualizaci jasu"},
        {1903, "F3 - enable PC3 bright control", "F3 - povolit u PC3 aktualizaci jasu"},
        {1904, "F4 - enable PC4 bright control", "F4 - povolit u PC4 aktualizaci jasu"},
        {2206, "F8 - set bright to selected PCs", "F8 - nastavit vybraný jas"},
        // The buttons that show only an icon.
        {2200, "Load a button set", "Načíst sadu tlačítek"},
        {2201, "Save the button set as", "Uložit sadu tlačítek jako"},
        {2213, "Edit the buttons", "Upravit tlačítka"},
        {2101, "Play on every station", "Přehrát na všech stanicích"},
        {2207, "Pause on every station", "Pozastavit na všech stanicích"},
        {2100, "Stop every station", "Zastavit všechny stanice"},
        {2203, "Settings", "Nastavení"},
    };
    // Only the two languages have a help table; any other LANG shows none.
    if (g_Settings.LANG > 1)
        return QString();
    for (const auto &entry : table)
        if (entry.id == controlId)
            return QString::fromUtf8(g_Settings.LANG == 1 ? entry.english : entry.czech);
    return QString();
}
