#include "layouttypes.h"

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
