#include "consoleoutput.h"

void PrepareConsoleOutput()
{
    // The standard streams are the terminal's or what the caller redirected.
}
