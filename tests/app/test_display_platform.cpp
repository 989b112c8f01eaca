#include "DisplayPlatform.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

namespace {

TEST(DisplayPlatform, XWaylandOnlyWhenNothingElseWasChosen)
{
    const struct {
        const char* wayland;
        const char* x11;
        const char* chosen;    // QT_QPA_PLATFORM before
        const char* argument;  // on the command line, or null
        const char* platform;  // QT_QPA_PLATFORM after
    } cases[] = {
        {"wayland-0", ":0", "", nullptr, "xcb"},
        {"wayland-0", ":0", "wayland", nullptr, "wayland"},
        {"wayland-0", ":0", "", "-platform", ""},
        {"wayland-0", ":0", "", "-platform=wayland", ""},
        {"wayland-0", "", "", nullptr, ""},  // no XWayland: stay on Wayland rather than fail to start
        {"", ":0", "", nullptr, ""},
    };
    for (const auto& c : cases) {
        qputenv("WAYLAND_DISPLAY", QByteArray(c.wayland));
        qputenv("DISPLAY", QByteArray(c.x11));
        qputenv("QT_QPA_PLATFORM", QByteArray(c.chosen));
        char program[] = "linguaro";
        QByteArray argument(c.argument ? c.argument : "");
        char* argv[] = {program, argument.data(), nullptr};
        preferX11OnWayland(c.argument ? 2 : 1, argv);
        EXPECT_EQ(qEnvironmentVariable("QT_QPA_PLATFORM"), QString::fromLatin1(c.platform))
            << c.wayland << " " << c.x11 << " " << c.chosen << " " << (c.argument ? c.argument : "");
    }
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("DISPLAY");
    qunsetenv("QT_QPA_PLATFORM");
}

}  // namespace
