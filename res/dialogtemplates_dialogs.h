#pragma once

// The templates of the settings dialog, the button editor with its page and
// the program browser, under their resource identifiers.

constexpr int IDD_CONFIG = 150;
constexpr int IDD_EDIT_MAIN = 132;
constexpr int IDD_EDIT_PAGE = 129;
constexpr int IDD_OPEN = 130;

// Registers the four templates; calling it again changes nothing.
void RegisterDialogsTemplates();
