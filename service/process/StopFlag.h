#pragma once

#include <atomic>

// Raised when nobody waits any more for a piece of work: its client went away,
// asked for it to stop, or the service is ending. The work stops at its next
// look; the descriptor becomes readable once raised, so a wait on the
// engine's pipes wakes at once instead of at its time-out.
class StopFlag {
public:
    StopFlag();
    ~StopFlag();
    StopFlag(const StopFlag&) = delete;
    StopFlag& operator=(const StopFlag&) = delete;

    // Any thread, any number of times.
    void raise();
    bool raised() const { return m_raised; }
    // -1 when none could be made; raised() still tells.
    int descriptor() const { return m_fd; }

    static bool raised(const StopFlag* stop) { return stop && stop->raised(); }

private:
    std::atomic<bool> m_raised{false};
    int m_fd = -1;
};
