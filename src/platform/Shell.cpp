#include "Shell.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <array>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

namespace Shell {

namespace {

bool isAddress(const QString& file)
{
    const qsizetype scheme = file.indexOf(QLatin1String("://"));
    return (scheme > 0 && !file.left(scheme).contains(u'/')) || file.startsWith(QLatin1String("mailto:"));
}

QString programPath(const QString& program)
{
    if (program.contains(u'/'))
        return QFileInfo(program).absoluteFilePath();
    return QStandardPaths::findExecutable(program);
}

// The program to start and its arguments for `file`: the file itself when it is a program,
// else the opener with the file as its one argument.
bool resolve(const QString& file, const QStringList& arguments, QString& program, QStringList& args, QString& problem)
{
    if (!isAddress(file) && QFileInfo(file).isFile() && isProgramFile(file)) {
        program = QFileInfo(file).absoluteFilePath();
        args = arguments;
        if (!makeRunnable(program)) {
            problem = QStringLiteral("\"%1\" cannot be made runnable.").arg(program);
            return false;
        }
        return true;
    }
    program = openerProgram();
    args = QStringList{file};
    if (program.isEmpty()) {
        problem =
            QStringLiteral("No program to open \"%1\" with was found (xdg-open, Debian package xdg-utils).").arg(file);
        return false;
    }
    return true;
}

void killGroup(const QProcess& process)
{
    const qint64 pid = process.processId();
    if (pid > 0)
        ::kill(-pid_t(pid), SIGKILL);
}

QString seconds(int ms) { return QString::number((ms + 999) / 1000); }

// A program past its processor time gets SIGXCPU, and SIGKILL this much later if it goes on.
constexpr int CpuGraceSeconds = 2;

// The kernel limits a program starts with, worked out before the fork so that the child
// only makes plain system calls.
struct ChildLimits {
    struct Entry {
        decltype(RLIMIT_AS) resource;
        rlimit value;
    };
    std::array<Entry, 4> entries{};
    int count = 0;
    bool cpu = false;
    bool fileSize = false;

    explicit ChildLimits(const Limits& limits)
    {
        if (limits.memoryBytes > 0)
            add(RLIMIT_AS, rlim_t(limits.memoryBytes), rlim_t(limits.memoryBytes));
        if (limits.cpuSeconds > 0) {
            add(RLIMIT_CPU, rlim_t(limits.cpuSeconds), rlim_t(limits.cpuSeconds + CpuGraceSeconds));
            cpu = true;
        }
        if (limits.fileBytes > 0) {
            add(RLIMIT_FSIZE, rlim_t(limits.fileBytes), rlim_t(limits.fileBytes));
            fileSize = true;
        }
        if (limits.noCoreDump)
            add(RLIMIT_CORE, 0, 0);
    }

    // In the child between fork and exec: async-signal-safe calls only.
    void apply() const
    {
        for (int i = 0; i < count; ++i)
            ::setrlimit(entries[i].resource, &entries[i].value);
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        if (cpu)
            ::sigaction(SIGXCPU, &action, nullptr);
        // a write past the file limit fails with EFBIG, which the program reports, instead of killing it
        action.sa_handler = SIG_IGN;
        if (fileSize)
            ::sigaction(SIGXFSZ, &action, nullptr);
    }

private:
    void add(decltype(RLIMIT_AS) resource, rlim_t soft, rlim_t hard)
    {
        // a limit already lower than ours (the user's own) stays
        rlimit current{};
        if (::getrlimit(resource, &current) == 0 && current.rlim_max != RLIM_INFINITY) {
            hard = std::min(hard, current.rlim_max);
            soft = std::min(soft, hard);
        }
        entries[count++] = {resource, {soft, hard}};
    }
};

}  // namespace

Limits Limits::confined(qint64 memory, int timeoutMs, qint64 outputCap)
{
    Limits limits;
    limits.timeoutMs = timeoutMs;
    limits.outputCap = outputCap;
    limits.memoryBytes = memory;
    limits.cpuSeconds = timeoutMs > 0 ? (timeoutMs + 999) / 1000 : 0;
    limits.fileBytes = outputCap;
    limits.noCoreDump = true;
    return limits;
}

bool isProgramFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4);
    return head
               == QByteArray("\x7f"
                             "ELF",
                             4)
           || head.startsWith("#!");
}

bool makeRunnable(const QString& path)
{
    QFile::Permissions permissions = QFile::permissions(path);
    QFile::Permissions wanted = permissions | QFile::ExeOwner | QFile::ExeUser;
    if (permissions & QFile::ReadGroup)
        wanted |= QFile::ExeGroup;
    if (permissions & QFile::ReadOther)
        wanted |= QFile::ExeOther;
    return wanted == permissions || QFile::setPermissions(path, wanted);
}

QStringList splitCommandLine(const QString& parameters) { return QProcess::splitCommand(parameters); }

QString openerProgram() { return QStandardPaths::findExecutable(QStringLiteral("xdg-open")); }

namespace {

// Program, arguments, working folder; standard input is empty unless the program is given some.
void prepare(QProcess& process, const QString& program, const QStringList& arguments, const QString& folder,
             const QByteArray& input = {})
{
    process.setProgram(program);
    process.setArguments(arguments);
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    if (input.isEmpty())
        process.setStandardInputFile(QProcess::nullDevice());
}

Outcome wait(const QString& program, const QStringList& arguments, const QString& folder, const Limits& limits,
             Capture capture, const QByteArray& input = {})
{
    std::unique_ptr<Running> running(Running::start(program, arguments, folder, limits, capture, nullptr, input));
    return running->waitForEnded();
}

}  // namespace

Outcome run(const QString& file, const QStringList& arguments, bool wait, const QString& folder, const Limits& limits,
            Capture capture)
{
    Outcome outcome;
    QString program;
    QStringList args;
    if (!resolve(file, arguments, program, args, outcome.problem))
        return outcome;
    if (wait)
        return Shell::wait(program, args, folder, limits, capture);
    QProcess process;
    prepare(process, program, args, folder);
    if (!process.startDetached()) {
        outcome.problem = QStringLiteral("\"%1\" could not be started. %2").arg(program, process.errorString());
        return outcome;
    }
    outcome.status = Outcome::Status::Finished;
    outcome.exitCode = 0;
    return outcome;
}

int shellRunWait(const QString& verb, const QString& file, const QString& parameters, bool wait, Show show,
                 const QString& folder, Outcome* ended)
{
    // only "open" is ever asked for; a program without a window shows nothing either way
    Q_UNUSED(verb);
    Q_UNUSED(show);
    Limits limits;
    limits.timeoutMs = 0;
    const Outcome outcome =
        run(file, splitCommandLine(parameters), wait, folder, limits, ended && wait ? Capture::Merged : Capture::None);
    if (ended)
        *ended = outcome;
    return outcome.finished() ? outcome.exitCode : -1;
}

Outcome runCaptured(const QString& program, const QStringList& arguments, Capture channels, const Limits& limits,
                    const QByteArray& input)
{
    const QString path = programPath(program);
    if (path.isEmpty()) {
        Outcome outcome;
        outcome.problem = QStringLiteral("The program \"%1\" was not found.").arg(program);
        return outcome;
    }
    if (isProgramFile(path))
        makeRunnable(path);
    return wait(path, arguments, QString(), limits, channels, input);
}

QString runHiddenAndCapture(const QString& commandLine, const Limits& limits)
{
    QStringList parts = splitCommandLine(commandLine);
    if (parts.isEmpty())
        return {};
    const QString program = parts.takeFirst();
    return QString::fromUtf8(runCaptured(program, parts, Capture::Merged, limits).output);
}

Running* Running::start(const QString& file, const QStringList& arguments, const QString& folder, const Limits& limits,
                        Capture capture, QObject* parent, const QByteArray& input)
{
    QString program;
    QStringList args;
    QString problem;
    if (!resolve(file, arguments, program, args, problem)) {
        auto* running = new Running(QString(), {}, folder, limits, capture, parent, {});
        running->m_outcome.problem = problem;
        running->m_done = true;
        QMetaObject::invokeMethod(
            running, [running] { emit running->ended(running->m_outcome); }, Qt::QueuedConnection);
        return running;
    }
    auto* running = new Running(program, args, folder, limits, capture, parent, input);
    running->begin();
    return running;
}

Running::Running(const QString& program, const QStringList& arguments, const QString& folder, const Limits& limits,
                 Capture capture, QObject* parent, const QByteArray& input)
    : QObject(parent), m_limits(limits), m_capture(capture), m_input(input)
{
    prepare(m_process, program, arguments, folder, input);
    switch (capture) {
    case Capture::None:
        m_process.setProcessChannelMode(QProcess::ForwardedChannels);
        break;
    case Capture::Merged:
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        break;
    case Capture::Separate:
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        break;
    }
    // a group of its own, so a time-out also stops what the program started
    const ChildLimits childLimits(limits);
    m_process.setChildProcessModifier([childLimits] {
        ::setpgid(0, 0);
        childLimits.apply();
    });
    connect(&m_process, &QProcess::readyReadStandardOutput, this, [this] { drain(QProcess::StandardOutput); });
    if (capture == Capture::Separate)
        connect(&m_process, &QProcess::readyReadStandardError, this, [this] { drain(QProcess::StandardError); });
    connect(&m_process, &QProcess::finished, this, &Running::conclude);
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &Running::timeOut);
}

Running::~Running()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    // not left behind: the program and its group go with whoever started it
    m_stopped = true;
    m_process.disconnect(this);
    killGroup(m_process);
    m_process.waitForFinished(5000);
}

void Running::begin()
{
    m_process.start();
    if (!m_process.waitForStarted(-1)) {
        m_outcome.problem =
            QStringLiteral("\"%1\" could not be started. %2").arg(m_process.program(), m_process.errorString());
        m_done = true;
        QMetaObject::invokeMethod(
            this, [this] { emit ended(m_outcome); }, Qt::QueuedConnection);
        return;
    }
    if (!m_input.isEmpty()) {
        m_process.write(m_input);
        m_process.closeWriteChannel();
    }
    m_running.start();
    if (m_limits.timeoutMs > 0)
        m_deadline.start(m_limits.timeoutMs);
}

void Running::stop()
{
    m_stopped = true;
    m_deadline.stop();
    if (m_process.state() != QProcess::NotRunning)
        killGroup(m_process);
}

Outcome Running::waitForEnded()
{
    while (!m_done) {
        int left = -1;
        if (m_limits.timeoutMs > 0 && !m_timedOut)
            left = int(std::max<qint64>(1, m_limits.timeoutMs - m_running.elapsed()));
        // the wait reads the program's output as it comes and reports its end, here on this thread
        if (!m_process.waitForFinished(left) && !m_done) {
            if (m_process.state() == QProcess::NotRunning)
                conclude();
            else if (left > 0 && m_running.elapsed() >= m_limits.timeoutMs)
                timeOut();
        }
    }
    return m_outcome;
}

void Running::drain(QProcess::ProcessChannel channel)
{
    if (m_outcome.cut)
        return;
    m_process.setReadChannel(channel);
    QByteArray chunk = m_process.readAll();
    // a zero byte is dropped on its own; the text around it stays
    chunk.removeIf([](char c) { return c == '\0'; });
    if (m_taken + chunk.size() > m_limits.outputCap) {
        chunk.truncate(m_limits.outputCap - m_taken);
        m_outcome.cut = true;
        killGroup(m_process);
    }
    m_taken += chunk.size();
    (channel == QProcess::StandardError ? m_outcome.errors : m_outcome.output).append(chunk);
}

void Running::timeOut()
{
    m_timedOut = true;
    killGroup(m_process);
}

void Running::conclude()
{
    if (m_done)
        return;
    m_done = true;
    m_deadline.stop();
    const QString program = m_process.program();
    if (m_capture != Capture::None) {
        drain(QProcess::StandardOutput);
        if (m_capture == Capture::Separate)
            drain(QProcess::StandardError);
        // what the converter left running in its group ends with it
        killGroup(m_process);
    }

    Outcome& outcome = m_outcome;
    if (m_timedOut) {
        outcome.status = Outcome::Status::TimedOut;
        outcome.problem = QStringLiteral("\"%1\" did not finish within %2 seconds and was stopped.")
                              .arg(QFileInfo(program).fileName(), seconds(m_limits.timeoutMs));
    } else if (outcome.cut) {
        outcome.status = Outcome::Status::Finished;
        outcome.exitCode = 0;
        outcome.problem = QStringLiteral("The output of \"%1\" was cut at %2 MB.")
                              .arg(QFileInfo(program).fileName())
                              .arg(m_limits.outputCap / (1024 * 1024));
    } else if (m_stopped) {
        outcome.status = Outcome::Status::Abandoned;
        outcome.problem = QStringLiteral("\"%1\" was stopped.").arg(QFileInfo(program).fileName());
    } else if (m_process.exitStatus() == QProcess::CrashExit) {
        outcome.signal = m_process.exitCode();
        // SIGKILL comes from the processor-time limit only once that much time has passed
        const bool overCpu =
            m_limits.cpuSeconds > 0
            && (outcome.signal == SIGXCPU
                || (outcome.signal == SIGKILL && m_running.elapsed() >= qint64(m_limits.cpuSeconds) * 1000));
        if (overCpu) {
            outcome.status = Outcome::Status::OverCpuTime;
            outcome.problem = QStringLiteral("\"%1\" used more than %2 seconds of processor time and was stopped.")
                                  .arg(QFileInfo(program).fileName())
                                  .arg(m_limits.cpuSeconds);
        } else {
            outcome.status = Outcome::Status::Crashed;
            outcome.problem = QStringLiteral("\"%1\" stopped unexpectedly (signal %2).")
                                  .arg(QFileInfo(program).fileName())
                                  .arg(outcome.signal);
        }
    } else {
        outcome.status = Outcome::Status::Finished;
        outcome.exitCode = m_process.exitCode();
    }
    if (!m_stopped)
        emit ended(outcome);
}

}  // namespace Shell
