#pragma once

// On a Wayland session a program can neither place its own windows nor keep
// them above the others, and the character needs both. So the translator
// runs through XWayland (Qt's "xcb" platform) when WAYLAND_DISPLAY is set,
// an X display is there (DISPLAY), and the user has chosen no platform
// (QT_QPA_PLATFORM or -platform). Call before the application object exists.
void preferX11OnWayland(int argc, char** argv);
