#pragma once

// The main window's layout types (the settings' DIALOG value): which template
// each uses and at which launch button the window height is cut.

#include "maintemplates.h"

// The template for a layout type; a value outside 0..13 keeps previous.
int TemplateForLayout(int dialog, int previous);
// The launch button whose top edge becomes the window's bottom, 0 for none.
int CutButtonForLayout(int dialog);
// Launch buttons in a row of the layout's template (they are numbered row by row).
int ColumnsForLayout(int dialog);
// Launch buttons in view: those above the cut, all 40 without one.
int ButtonsInView(int dialog);
