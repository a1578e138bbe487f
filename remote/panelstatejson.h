#pragma once

// The panel's state as the remote API shows it (GET /api/state and the
// events): UTF-8 JSON built from the settings, the button table, the link
// table and the window. Captions and addresses are converted from
// windows-1250.

#include "commanddelivery.h"

#include <QJsonObject>

class CPlaxonDlg;

// panel may be null between two windows: the state then shows no window's parts.
QJsonObject PanelStateJson(const CPlaxonDlg *panel, bool dialogOpen);
// Per station the command was meant for: {"1": {"reached": 2, "links": 2}}.
// reached counts the links whose connection took the whole record.
QJsonObject DeliveryJson(const CommandDelivery &delivery);
// "launch", "play", "pause", "stop" or "brightness" for a command code.
QString RemoteCommandName(int32_t code);
