#pragma once

// Standard input, output and error as the program found them when it started.
class StandardStreams {
public:
    // Puts /dev/null on each of the three that the program was started without, so that no
    // file, socket or pipe it opens later takes that number and receives what was meant for
    // the terminal. Called first thing in main().
    static void guard();
    // Whether the stream (STDIN_FILENO, STDOUT_FILENO or STDERR_FILENO) was closed at the start.
    static bool wasClosed(int stream);

private:
    static inline unsigned s_closed = 0;
};
