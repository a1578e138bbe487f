#pragma once

// The notification codes and window messages through which controls talk to
// their dialog, with the values the dialog platform gives them. Qt signals of
// the template controls arrive at the dialog as these (see notifyrouter.h).

#ifndef EN_CHANGE
constexpr int EN_KILLFOCUS = 0x0200;
constexpr int EN_CHANGE = 0x0300;
constexpr int CBN_SELCHANGE = 1;
constexpr int CBN_EDITCHANGE = 5;
constexpr int BN_CLICKED = 0;
constexpr int DTN_DATETIMECHANGE = -759;
#endif

#ifndef WM_COMMAND
constexpr int WM_NOTIFY = 0x004E;
constexpr int WM_COMMAND = 0x0111;
constexpr int WM_HSCROLL = 0x0114;
constexpr int WM_VSCROLL = 0x0115;
constexpr int WM_USER = 0x0400;
#endif

// Scroll codes of a trackbar, delivered with WM_HSCROLL or WM_VSCROLL.
#ifndef TB_LINEUP
constexpr int TB_LINEUP = 0;
constexpr int TB_LINEDOWN = 1;
constexpr int TB_PAGEUP = 2;
constexpr int TB_PAGEDOWN = 3;
constexpr int TB_THUMBPOSITION = 4;
constexpr int TB_THUMBTRACK = 5;
constexpr int TB_TOP = 6;
constexpr int TB_BOTTOM = 7;
constexpr int TB_ENDTRACK = 8;
#endif

// The commands of the Enter and Escape keys (and of the buttons with these ids).
#ifndef IDOK
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
#endif

class QWidget;

// One message from a control to its dialog: WM_COMMAND with a notification
// code, WM_NOTIFY with a notification code, or WM_HSCROLL/WM_VSCROLL with a
// scroll code and the position.
struct ControlEvent {
    int message = WM_COMMAND;
    int code = 0;
    int id = 0;
    QWidget *control = nullptr;
    int position = 0;
};
