#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

class StopFlag;

// Programs started with posix_spawn and joined by pipes (no shell): we
// write to the first one's input and read the last one's output. Standard
// error goes to /dev/null so the engine's diagnostics never reach a reply.
// A long-lived chain watches its programs: the engine's programs flush a NUL
// when their input ends, so a program that dies would make the one after it
// hand on a cut block as if it were whole. Such a chain keeps every pipe's
// write end open itself (a death never reaches the next program as an end
// of input) and sees each program's exit through a process descriptor.
class ProcessChain {
public:
    using Clock = std::chrono::steady_clock;
    using Argv = std::vector<std::string>;  // program first

    ProcessChain() = default;
    ~ProcessChain();
    ProcessChain(const ProcessChain&) = delete;
    ProcessChain& operator=(const ProcessChain&) = delete;

    enum class Watch { EndOfOutput, ProgramExits };

    // Starts every program; on failure nothing stays running and error says why.
    // EndOfOutput: the chain ends when the last program closes its output.
    // ProgramExits: the long-lived form described above.
    bool start(const std::vector<Argv>& commands, std::string& error, Watch watch = Watch::EndOfOutput);
    // Kills and reaps what is still running, closes the pipes.
    void stop();
    bool started() const { return !m_pids.empty(); }
    // False once any program of the chain has exited; an exited program is
    // reaped here.
    bool alive();
    // Descriptors that become readable when a program of a ProgramExits
    // chain exits, for a watcher outside a request.
    std::vector<int> exitDescriptors() const { return m_pidfds; }

    // Writes input, closes it and collects everything up to the end of the
    // output. On failure (time-out, a program exited, write error, stop
    // raised) returns false with error naming the cause.
    bool exchange(std::string_view input, Clock::time_point deadline, std::string& answer, std::string& error,
                  const StopFlag* stop = nullptr);

    // For a caller that moves a long-lived chain's bytes itself: the write end
    // of the first program's input and the read end of the last one's output,
    // both non-blocking.
    int inputDescriptor() const { return m_input; }
    int outputDescriptor() const { return m_output; }
    // After exitDescriptors()[index] woke: reaps what has exited and names the
    // program that ended and how; one that crashed is named before the
    // programs beside it that only lost their pipe.
    std::string exitReport(size_t index);

    // True when output is waiting; between requests the chain is then out of
    // step with them.
    bool hasStrayOutput();

    // True once exchange() or exitReport() has seen a program of this start end by a fault
    // of its own (a segmentation fault, an abort...), not by being stopped.
    bool crashed() const { return m_crashed; }

    // What is left until the deadline, for poll(): at least 0, at most a minute.
    static int millisecondsLeft(Clock::time_point deadline);

    // Full path of a program: the engine's folder ($APERTIUM_PATH, else
    // /usr/bin) first, then $PATH. Empty when not found.
    static std::string findProgram(const std::string& name);

private:
    // A program that has exited: reaps it and says how it ended.
    std::string reapExited(size_t index);

    std::vector<pid_t> m_pids;  // negative once reaped
    std::vector<std::string> m_names;
    std::vector<int> m_pidfds;         // ProgramExits only
    std::vector<int> m_heldWriteEnds;  // ProgramExits only
    int m_input = -1;                  // write end of the first program's standard input
    int m_output = -1;                 // read end of the last program's standard output
    bool m_crashed = false;
};
