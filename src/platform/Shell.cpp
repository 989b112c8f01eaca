#include "Shell.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>
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
    Outcome outcome;
    QProcess process;
    prepare(process, program, arguments, folder, input);
    switch (capture) {
    case Capture::None:
        process.setProcessChannelMode(QProcess::ForwardedChannels);
        break;
    case Capture::Merged:
        process.setProcessChannelMode(QProcess::MergedChannels);
        break;
    case Capture::Separate:
        process.setProcessChannelMode(QProcess::SeparateChannels);
        break;
    }
    // a group of its own, so a time-out also stops what the program started
    const ChildLimits childLimits(limits);
    process.setChildProcessModifier([childLimits] {
        ::setpgid(0, 0);
        childLimits.apply();
    });

    QEventLoop loop;
    bool ended = false;
    bool timedOut = false;
    qint64 taken = 0;
    auto drain = [&](QProcess::ProcessChannel channel) {
        if (outcome.cut)
            return;
        process.setReadChannel(channel);
        QByteArray chunk = process.readAll();
        // a zero byte is dropped on its own; the text around it stays
        chunk.removeIf([](char c) { return c == '\0'; });
        if (taken + chunk.size() > limits.outputCap) {
            chunk.truncate(limits.outputCap - taken);
            outcome.cut = true;
            killGroup(process);
        }
        taken += chunk.size();
        (channel == QProcess::StandardError ? outcome.errors : outcome.output).append(chunk);
    };
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &loop, [&] { drain(QProcess::StandardOutput); });
    if (capture == Capture::Separate)
        QObject::connect(&process, &QProcess::readyReadStandardError, &loop, [&] { drain(QProcess::StandardError); });
    QObject::connect(&process, &QProcess::finished, &loop, [&] {
        ended = true;
        loop.quit();
    });
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        killGroup(process);
    });

    process.start();
    if (!process.waitForStarted(-1)) {
        outcome.problem = QStringLiteral("\"%1\" could not be started. %2").arg(program, process.errorString());
        return outcome;
    }
    if (!input.isEmpty()) {
        process.write(input);
        process.closeWriteChannel();
    }
    QElapsedTimer running;
    running.start();
    if (limits.timeoutMs > 0)
        deadline.start(limits.timeoutMs);
    if (!ended)
        loop.exec();
    deadline.stop();
    if (!ended) {
        // the application is ending and left every loop: the program is not left behind
        killGroup(process);
        process.waitForFinished(5000);
        outcome.status = Outcome::Status::Abandoned;
        outcome.problem = QStringLiteral("\"%1\" was stopped because the application is ending.").arg(program);
        return outcome;
    }
    if (capture != Capture::None) {
        drain(QProcess::StandardOutput);
        if (capture == Capture::Separate)
            drain(QProcess::StandardError);
        // what the converter left running in its group ends with it
        killGroup(process);
    }

    if (timedOut) {
        outcome.status = Outcome::Status::TimedOut;
        outcome.problem = QStringLiteral("\"%1\" did not finish within %2 seconds and was stopped.")
                              .arg(QFileInfo(program).fileName(), seconds(limits.timeoutMs));
    } else if (outcome.cut) {
        outcome.status = Outcome::Status::Finished;
        outcome.exitCode = 0;
        outcome.problem = QStringLiteral("The output of \"%1\" was cut at %2 MB.")
                              .arg(QFileInfo(program).fileName())
                              .arg(limits.outputCap / (1024 * 1024));
    } else if (process.exitStatus() == QProcess::CrashExit) {
        outcome.signal = process.exitCode();
        // SIGKILL comes from the processor-time limit only once that much time has passed
        const bool overCpu =
            limits.cpuSeconds > 0
            && (outcome.signal == SIGXCPU
                || (outcome.signal == SIGKILL && running.elapsed() >= qint64(limits.cpuSeconds) * 1000));
        if (overCpu) {
            outcome.status = Outcome::Status::OverCpuTime;
            outcome.problem = QStringLiteral("\"%1\" used more than %2 seconds of processor time and was stopped.")
                                  .arg(QFileInfo(program).fileName())
                                  .arg(limits.cpuSeconds);
        } else {
            outcome.status = Outcome::Status::Crashed;
            outcome.problem = QStringLiteral("\"%1\" stopped unexpectedly (signal %2).")
                                  .arg(QFileInfo(program).fileName())
                                  .arg(outcome.signal);
        }
    } else {
        outcome.status = Outcome::Status::Finished;
        outcome.exitCode = process.exitCode();
    }
    return outcome;
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

}  // namespace Shell
