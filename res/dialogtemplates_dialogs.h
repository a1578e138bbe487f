#pragma once

// The templates of the settings dialog, the button editor with its page and
// the program browser, under their resource identifiers, with the identifiers
// of their controls and icons.

#include "maintemplates.h"

constexpr int IDD_CONFIG = 150;
constexpr int IDD_EDIT_MAIN = 132;
constexpr int IDD_EDIT_PAGE = 129;
constexpr int IDD_OPEN = 130;

// The settings dialog's result besides IDOK and IDCANCEL: the layout or the
// caption wrapping changed, so the main window must be built again.
constexpr int RESTART_RESULT = 99;

// Controls of the settings dialog.
constexpr int IDC_CONFIG_LANG = 2118;
constexpr int IDC_CONFIG_BRIGHT = 2209;
constexpr int IDC_CONFIG_MULTILINE = 2237;
constexpr int IDC_CONFIG_HELP = 2224;
// The layout buttons in window order, which is the stored layout's order
// (the identifiers are not).
constexpr int IDC_LAYOUT_5X8 = 2212;
constexpr int IDC_LAYOUT_10X4 = 2213;
constexpr int IDC_LAYOUT_5X6 = 2214;
constexpr int IDC_LAYOUT_10X3 = 2215;
constexpr int IDC_LAYOUT_5X4 = 2216;
constexpr int IDC_LAYOUT_10X2 = 2217;
constexpr int IDC_LAYOUT_5X3 = 2220;
constexpr int IDC_LAYOUT_5X2 = 2218;
constexpr int IDC_LAYOUT_10X1 = 2233;
constexpr int IDC_LAYOUT_BIG_5X8 = 2219;
constexpr int IDC_LAYOUT_BIG_5X6 = 2221;
constexpr int IDC_LAYOUT_BIG_5X4 = 2222;
constexpr int IDC_LAYOUT_BIG_5X3 = 2223;
constexpr int IDC_LAYOUT_BIG_5X2 = 2225;
// A station's controls: the base plus the station number 1..4.
constexpr int IDC_STATION_ENABLE = 1900;
constexpr int IDC_STATION_ADDRESS = 1910;
constexpr int IDC_STATION_PATH = 1920;
constexpr int IDC_STATION_SOCKET = 1930;
constexpr int IDC_STATION_CHOOSE = 1940;
constexpr int IDC_STATION_CLEAR = 1950;

// The button editor's tab host.
constexpr int IDC_EDIT_TABS = 2105;
// A row of the editor page: the base plus the button number 1..40.
constexpr int IDC_PAGE_PROGRAM = 1100;
constexpr int IDC_PAGE_ENABLE = 1200;
constexpr int IDC_PAGE_NAME = 1300;
constexpr int IDC_PAGE_BROWSE = 1400;
constexpr int IDC_PAGE_INLINE = 1500;
constexpr int IDC_PAGE_COLOUR = 2237;

// Controls of the program browser.
constexpr int IDC_OPEN_FOLDERS_LABEL = 2020;
constexpr int IDC_OPEN_TREE = 1228;
constexpr int IDC_OPEN_SEARCH_LABEL = 2230;
constexpr int IDC_OPEN_SEARCH_TEXT = 2231;
constexpr int IDC_OPEN_SEARCH = 2236;
constexpr int IDC_OPEN_END_SEARCH = 2100;
constexpr int IDC_OPEN_LIST = 1019;
constexpr int IDC_OPEN_DELETE = 2232;

// Icon resources of the dialogs.
constexpr int IDI_HELP = 156;
constexpr int IDI_CHOOSE_FOLDER = IDI_LOAD; // the same folder as the main window's Load
constexpr int IDI_CLEAR = 155;
constexpr int IDI_ARROW_DOWN = 154;
constexpr int IDI_ARROW_UP = 159;
constexpr int IDI_SEARCH = 161;

// Registers the four templates; calling it again changes nothing.
void RegisterDialogsTemplates();
