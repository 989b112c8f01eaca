#include "DisplayPlatform.h"

#include <QByteArray>
#include <QtGlobal>

void preferX11OnWayland(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") || qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "-platform" || argument == "--platform" || argument.startsWith("-platform=")
            || argument.startsWith("--platform="))
            return;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
}
