#include "threadpriority.h"

#include <windows.h>

void LowerCurrentThreadPriority()
{
    // One step below normal, for this thread only.
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}
