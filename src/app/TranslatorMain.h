#pragma once

#include <functional>

class MainWindow;

// The translator program: the application object, the main window and its
// message loop until the window closes, by File > Exit, the window's close
// box, the end of the session or a termination signal (SIGTERM, SIGINT,
// SIGHUP) alike. On a session bus the first program serves the translator's
// interface there and a later one only forwards its request (show the window,
// or translate the selection with --translate-selection) and returns.
// `started`, when given, runs once the loop runs: tests drive the real program
// through it.
int translatorMain(int& argc, char** argv, const std::function<void(MainWindow&)>& started = {});
