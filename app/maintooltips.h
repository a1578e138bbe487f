#pragma once

// The three tooltip sources of the main window. Texts keep the "\r\n" line
// breaks the panel has always used; the display turns them into line breaks.

#include <QString>

// The status list of the link-state icon: one entry per configured link.
QString StatusListText();
// "PC%u:  %s" for each enabled station, with the button's program for it.
QString LaunchButtonTooltip(int button);
// The help text of a control in the current language; empty when it has none.
QString HelpText(int controlId);
