#pragma once

// The three tooltip sources of the main window. Texts keep the "\r\n" line
// breaks the panel has always used; the display turns them into line breaks.

#include <QString>

class ClientSocket;
class CommandDelivery;

// The status list of the link-state icon: one entry per configured link,
// "PC2 localhost:7003  " and its state.
QString StatusListText();
// One link's part of that list: "* OK connected *" or its error.
QString LinkStatusText(const ClientSocket &link);
// The last command, its time and, per station it was meant for, how many
// links took the whole record and why the others did not; empty when
// nothing was built. Lines joined with "\r\n".
QString DeliveryText(const CommandDelivery &delivery);
// The status tooltip: the status list, then after an empty line the
// delivery text and the journal's failure, where there are such.
QString StatusTooltip(const CommandDelivery &last, const QString &journalFailure);
// "PC%u:  %s" for each enabled station, with the button's program for it.
QString LaunchButtonTooltip(int button);
// The help text of a control in the current language; empty when it has none.
QString HelpText(int controlId);
