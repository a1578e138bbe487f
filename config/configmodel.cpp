#include "configmodel.h"

#include <cstring>

SettingsRecord g_Settings{};
ButtonTable g_Buttons{};

int LangIndex()
{
    return g_Settings.LANG == 1 ? 1 : 0;
}

void CopyText(char *dst, unsigned cap, const char *src, unsigned srcLen)
{
    if (cap == 0)
        return;
    unsigned n = 0;
    if (src) {
        const unsigned limit = srcLen < cap - 1 ? srcLen : cap - 1;
        while (n < limit && src[n] != '\0')
            ++n;
        std::memmove(dst, src, n);
    }
    dst[n] = '\0';
}
