#include "layouttypes.h"

#include "configmodel.h"

int TemplateForLayout(int dialog, int previous)
{
    switch (dialog) {
    case 1: case 3: case 5: case 8:
        return IDD_PLAXON_10X4;
    case 9: case 10: case 11: case 12: case 13:
        return IDD_PLAXON_WIDE;
    case 0: case 2: case 4: case 6: case 7:
        return IDD_PLAXON_5X8;
    default:
        return previous;
    }
}

int CutButtonForLayout(int dialog)
{
    switch (dialog) {
    case 2: case 3: case 10: return 1031;
    case 4: case 5: case 11: return 1021;
    case 6: case 12: return 1016;
    case 7: case 8: case 13: return 1011;
    default: return 0;
    }
}

int ColumnsForLayout(int dialog)
{
    constexpr int WIDE_ROW = 10;
    constexpr int NARROW_ROW = 5;
    return TemplateForLayout(dialog, IDD_PLAXON_5X8) == IDD_PLAXON_10X4 ? WIDE_ROW : NARROW_ROW;
}

int ButtonsInView(int dialog)
{
    const int cut = CutButtonForLayout(dialog);
    return cut ? cut - IDC_LAUNCH_FIRST : BUTTON_COUNT;
}
