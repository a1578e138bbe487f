#pragma once

// The main window's templates 101 (5 x 8 buttons), 102 (10 x 4) and 162
// (5 x 8 wide buttons): the same controls at different places.

// Template identifiers of the main window, one per arrangement of the buttons.
constexpr int IDD_PLAXON_5X8 = 101;
constexpr int IDD_PLAXON_10X4 = 102;
constexpr int IDD_PLAXON_WIDE = 162;

// Control identifiers of the main window.
constexpr int IDC_LOAD = 2200;
constexpr int IDC_SAVE_AS = 2201;
constexpr int IDC_PROGRAM_NAME = 2202;
constexpr int IDC_EDITOR = 2213;
constexpr int IDC_PLAY = 2101;
constexpr int IDC_PAUSE = 2207;
constexpr int IDC_STOP = 2100;
constexpr int IDC_LAUNCH_FIRST = 1001;
constexpr int IDC_LAUNCH_LAST = 1040;
constexpr int IDC_LINK_ICON = 2108;
constexpr int IDC_BRIGHT_GROUP = 2235;
constexpr int IDC_PC1 = 1901;
constexpr int IDC_PC4 = 1904;
constexpr int IDC_BRIGHT_ICON = 2017;
constexpr int IDC_BRIGHT_SLIDER = 2209;
constexpr int IDC_BRIGHT_SET = 2206;
constexpr int IDC_SETTINGS = 2203;

// Icon resources of the main window.
constexpr int IDI_PLAXON = 128;
constexpr int IDI_LINKS_DOWN = 134;
constexpr int IDI_LINKS_FULL = 244;
constexpr int IDI_STOP = 142;
constexpr int IDI_BRIGHT_SET = 143;
constexpr int IDI_SETTINGS = 144;
constexpr int IDI_LOAD = 145;
constexpr int IDI_PLAY = 146;
constexpr int IDI_SAVE_AS = 147;
constexpr int IDI_PAUSE = 148;
constexpr int IDI_EDITOR = 149;
constexpr int IDI_BRIGHTNESS = 152;

// Registers the three templates (once; later calls do nothing).
void RegisterMainTemplates();
