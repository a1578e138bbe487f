#include "consoleoutput.h"

#include <QByteArray>

#include <windows.h>

#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace {

bool Usable(DWORD which)
{
    const HANDLE h = GetStdHandle(which);
    return h && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN;
}

} // namespace

void PrepareConsoleOutput()
{
    const bool out = Usable(STD_OUTPUT_HANDLE);
    const bool err = Usable(STD_ERROR_HANDLE);
    bool attached = false;
    if ((!out || !err) && AttachConsole(ATTACH_PARENT_PROCESS)) {
        // Only the streams that had nowhere to go are pointed at the console.
        if (!out)
            (void)!std::freopen("CONOUT$", "w", stdout);
        if (!err)
            (void)!std::freopen("CONOUT$", "w", stderr);
        attached = true;
    }
    if (out || err || attached) {
        // Text goes where the lines went; the option parser's message boxes
        // are only for a start without any console.
        qputenv("QT_COMMAND_LINE_PARSER_NO_GUI_MESSAGE_BOXES", QByteArrayLiteral("1"));
    }
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}
