#pragma once

// Lets a background thread give way to the user-interface thread.

// Lowers the calling thread's scheduling priority one step below normal.
// Best effort: a platform that refuses leaves the priority as it is.
void LowerCurrentThreadPriority();
