#include "maintooltips.h"

#include "codepage.h"
#include "configmodel.h"
#include "connectionmanager.h"
#include "socketerrors.h"

#include <QStringList>

QString StatusListText()
{
    QString text;
    ForEachConfiguredLink([&text](int, int, int index) {
        const ClientSocket &link = Link(index);
        if (!text.isEmpty() && !text.endsWith(QLatin1Char('\n')))
            text += QStringLiteral("\r\n");
        text += AnsiToQString(link.Address()) + QStringLiteral(":%1  ").arg(link.Port());
        if (link.State() == LINK_CONNECTED) {
            text += QStringLiteral("* OK connected *");
        } else {
            text += QStringLiteral("Err: %1  ").arg(uint32_t(link.Error()));
            // The system's texts are at most 299 characters.
            text += QString::fromLatin1(SocketErrorText(link.Error())).left(299);
        }
    });
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
    };
    // Only the two languages have a help table; any other LANG shows none.
    if (g_Settings.LANG > 1)
        return QString();
    for (const auto &entry : table)
        if (entry.id == controlId)
            return QString::fromUtf8(g_Settings.LANG == 1 ? entry.english : entry.czech);
    return QString();
}
