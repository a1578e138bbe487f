#include "underwine.h"

bool RunningUnderWine()
{
    return false;
}
