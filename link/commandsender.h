#pragma once

// The operator's actions that reach the stations: which station gets which
// command record. Each builds the record and hands it to SendToStation; they
// run on the user-interface thread. Each returns what became of the
// command, with code 0 when nothing was built. Whether a command may go at
// all (links up, a dialog open, ...) is the caller's rule: PanelCommands.

#include "commanddelivery.h"
#include "configmodel.h"

#include <cstdint>

// Launch button (0..39): each enabled station, in order, whose PROGRAM entry
// of the button is not empty gets its own run record; nothing is built when
// there is none.
CommandDelivery SendLaunch(int button);
// STOP, PLAY, PAUSE to every connected link of stations 0..3.
CommandDelivery SendStop();
CommandDelivery SendPlay();
CommandDelivery SendPause();
// Brightness, only while g_Settings.BRIGHT_ENA is set (returns false and does
// nothing otherwise): brightness := position clamped to 0..100, then the
// record goes to every connected link of each station whose flag in
// selected is set.
bool SendBrightness(int position, const unsigned char (&selected)[STATION_COUNT], int32_t &brightness,
                    CommandDelivery *delivery = nullptr);
