#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>

// Starting programs and opening documents and web addresses, as the desktop's
// shell would. A file that is a program (ELF, or a script starting with "#!")
// is started directly; anything else (a document, a folder, a web address)
// goes to xdg-open. A program the window waits for runs as a Shell::Running, which
// reports its end by a signal; the blocking waits below process no events meanwhile.
namespace Shell {

enum class Show { Hidden, Normal };

// How long a waited-for program may run and how much it may write.
struct Limits {
    static constexpr int DefaultTimeoutMs = 120 * 1000;
    static constexpr qint64 DefaultOutputCap = 64 * 1024 * 1024;
    int timeoutMs = DefaultTimeoutMs;  // 0 or less: wait as long as it takes
    qint64 outputCap = DefaultOutputCap;
    // Set by the system inside the program before it starts, so that one reading hostile
    // input cannot take the machine's memory or time; 0 leaves that limit as inherited.
    qint64 memoryBytes = 0;  // address space: allocations beyond it fail
    int cpuSeconds = 0;      // processor time: SIGXCPU, then SIGKILL a little later
    qint64 fileBytes = 0;    // the largest file it may write: a longer write fails (EFBIG)
    bool noCoreDump = false;

    // Limits for a program that reads untrusted files: `memory` of address space, as
    // much processor time as `timeoutMs` allows, files no larger than `outputCap`, no core.
    static Limits confined(qint64 memory, int timeoutMs = DefaultTimeoutMs, qint64 outputCap = DefaultOutputCap);
};

struct Outcome {
    // OverCpuTime: stopped by the processor-time limit; Crashed: ended by any other signal
    enum class Status { Finished, NotStarted, TimedOut, OverCpuTime, Crashed, Abandoned };
    Status status = Status::NotStarted;
    int exitCode = -1;
    int signal = 0;     // Crashed: the signal that ended it
    QByteArray output;  // standard output, with standard error when merged; zero bytes dropped
    QByteArray errors;  // standard error when kept apart
    bool cut = false;   // output reached the cap; the program was stopped there
    QString problem;    // why the program did not finish by itself, for the user

    bool finished() const { return status == Status::Finished; }
};

// What to do with the program's output while waiting for it.
enum class Capture { None, Merged, Separate };

// ELF binary or "#!" script.
bool isProgramFile(const QString& path);
// Gives a program file its run bit (a downloaded file arrives without one); false when that fails.
bool makeRunnable(const QString& path);
// Splits parameters written as a command line: blanks separate, double quotes group
// (three double quotes stand for one literal double quote).
QStringList splitCommandLine(const QString& parameters);
// The xdg-open program, or empty when it is not installed.
QString openerProgram();

// Starts `file` with `arguments` in `folder` (empty: the current one). With `wait`, returns
// after the program ended (no events are processed meanwhile); a program that
// outlives limits.timeoutMs is stopped together with what it started. Without `wait`,
// returns once started (status Finished, exit code 0).
Outcome run(const QString& file, const QStringList& arguments, bool wait, const QString& folder,
            const Limits& limits = {}, Capture capture = Capture::None);

// Verb (only "open" is known), file or address, parameters as a command line, wait flag,
// show mode, working folder. Returns the exit code when waiting, 0 when not, -1 when the
// program could not be started or did not end by itself. Waits without a time limit. With
// `ended` given and `wait` set, what the program wrote (standard output and standard error
// together) is kept there with the outcome, for reporting a failure in the program's own words.
int shellRunWait(const QString& verb, const QString& file, const QString& parameters, bool wait, Show show,
                 const QString& folder, Outcome* ended = nullptr);

// Runs a command line with no window and standard input closed, and returns what it wrote
// to standard output and standard error together, as UTF-8 text.
QString runHiddenAndCapture(const QString& commandLine, const Limits& limits = {});
// The same for a program and its arguments, with the outcome; `input` is what it reads on
// standard input (empty: nothing).
Outcome runCaptured(const QString& program, const QStringList& arguments, Capture channels, const Limits& limits = {},
                    const QByteArray& input = {});

// A program started without waiting for it, in a process group of its own, held within its
// limits. It reports once, by ended(), on the thread that started it; nothing is emitted
// before control returns to that thread's event loop. Destroyed early, it stops the program
// and what the program started.
class Running : public QObject {
    Q_OBJECT
public:
    // `file` as run() takes it: a program file, else what the opener opens.
    // `input` is what it reads on standard input (empty: nothing).
    static Running* start(const QString& file, const QStringList& arguments, const QString& folder,
                          const Limits& limits, Capture capture, QObject* parent = nullptr,
                          const QByteArray& input = {});
    ~Running() override;

    // Ends the program and what it started; ended() is not emitted any more.
    void stop();
    // For a caller without an event loop: blocks until the program ended, processing no events.
    Outcome waitForEnded();

signals:
    void ended(const Shell::Outcome& outcome);

private:
    Running(const QString& program, const QStringList& arguments, const QString& folder, const Limits& limits,
            Capture capture, QObject* parent, const QByteArray& input);
    void begin();
    void drain(QProcess::ProcessChannel channel);
    void timeOut();
    void conclude();

    QProcess m_process;
    QTimer m_deadline;
    QElapsedTimer m_running;
    Limits m_limits;
    Capture m_capture;
    QByteArray m_input;
    Outcome m_outcome;
    qint64 m_taken = 0;
    bool m_timedOut = false;
    bool m_done = false;
    bool m_stopped = false;
};

}  // namespace Shell
