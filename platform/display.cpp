#include "platform/display.h"

#include <QtGlobal>

bool windowSystemAvailable()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // A platform named outright (offscreen, vnc, ...) is Qt's to judge; X11
    // and Wayland need their display.
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}
