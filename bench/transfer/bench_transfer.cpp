// Throughput of the transfer component against curl and cp, on this machine:
// a 200 MB download from a loopback HTTP server with the progress dialog shown
// (offscreen), and a 200 MB local copy. Prints the times and the ratios.
//
//   QT_QPA_PLATFORM=offscreen build/bench/transfer/bench_transfer [megabytes] [only]
// where only is one of: shown, hidden, copy (to profile one case alone).

#include "TTransfer.h"
#include "TransferGui.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QWidget>

#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include <sys/resource.h>
#include <unistd.h>

namespace {
double seconds(const std::function<void()>& work)
{
    // Earlier writes still on their way to the disk would slow down whoever comes next.
    ::sync();
    QElapsedTimer timer;
    timer.start();
    work();
    return double(timer.nsecsElapsed()) / 1e9;
}

double runTool(const QString& tool, const QStringList& arguments)
{
    return seconds([&] {
        QProcess process;
        process.start(QStandardPaths::findExecutable(tool), arguments);
        process.waitForFinished(-1);
        if (process.exitCode() != 0)
            fprintf(stderr, "%s failed\n", qPrintable(tool));
    });
}

double runTransfer(TTransfer& transfer, TTransferProtocol kind, const QString& url, const QString& dir)
{
    transfer.Items.Clear();
    TTransferItem* item = transfer.Items.Add();
    item->Protocol = kind;
    item->URL = url;
    item->TargetDir = dir;
    rusage before{}, after{};
    getrusage(RUSAGE_SELF, &before);
    // the run ends on the application's own loop, which serves its events and dialog meanwhile
    const QMetaObject::Connection ended =
        QObject::connect(&transfer, &TTransfer::finished, qApp, &QCoreApplication::quit);
    const double seconds = ::seconds([&] {
        transfer.Execute();
        QCoreApplication::exec();
    });
    QObject::disconnect(ended);
    getrusage(RUSAGE_SELF, &after);
    const auto cpu = [](const timeval& a, const timeval& b) {
        return double(b.tv_sec - a.tv_sec) + double(b.tv_usec - a.tv_usec) / 1e6;
    };
    printf("  (this process: %.2f s user, %.2f s system of %.2f s)\n", cpu(before.ru_utime, after.ru_utime),
           cpu(before.ru_stime, after.ru_stime), seconds);
    if (!transfer.Items[0].Success)
        fprintf(stderr, "transfer of %s failed\n", qPrintable(url));
    return seconds;
}

void report(const char* what, double mb, double ours, double theirs, const char* tool)
{
    printf("%-34s ours %6.2f s (%7.1f MB/s)  %s %6.2f s (%7.1f MB/s)  ratio %.2f\n", what, ours, mb / ours, tool,
           theirs, mb / theirs, theirs / ours);
}
}  // namespace

int main(int argc, char** argv)
{
    qunsetenv("http_proxy");
    QApplication app(argc, argv);
    registerTransferGui();
    const int megabytes = argc > 1 ? atoi(argv[1]) : 200;
    const size_t size = size_t(megabytes) * 1000 * 1000;
    // Memory-backed by default, so the disk's write-back does not decide the result.
    const QString base = qEnvironmentVariable("BENCH_DIR", QDir("/dev/shm").exists() ? "/dev/shm" : QDir::tempPath());
    QTemporaryDir dir(base + "/bench-transfer-XXXXXX");
    const QString source = dir.filePath("source.bin");
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i)
        data[i] = char((i * 2654435761u) >> 13);
    {
        QFile file(source);
        file.open(QIODevice::WriteOnly);
        file.write(data.data(), qint64(size));
    }

    httplib::Server server;
    server.Get("/source.bin", [&data](const httplib::Request&, httplib::Response& res) {
        res.set_content_provider(data.size(), "application/octet-stream",
                                 [&data](size_t offset, size_t length, httplib::DataSink& sink) {
                                     sink.write(data.data() + offset, std::min<size_t>(length, 1 << 16));
                                     return true;
                                 });
    });
    const int port = server.bind_to_any_port("127.0.0.1");
    std::thread serving([&] { server.listen_after_bind(); });
    while (!server.is_running())
        std::this_thread::yield();
    const QString url = QStringLiteral("http://127.0.0.1:%1/source.bin").arg(port);

    TTransfer transfer;
    transfer.ShowTime = true;
    transfer.ShowElapsedTime = true;
    transfer.ShowCompletion = true;
    const double mb = double(size) / 1e6;
    // BENCH_SCREENSHOT=file.png keeps a picture of the dialog half-way through the download.
    const QString screenshot = qEnvironmentVariable("BENCH_SCREENSHOT");
    if (!screenshot.isEmpty())
        transfer.OnCopyProgress = [&screenshot](TTransfer* sender, int, quint32 done, quint32 total) {
            if (sender->Dialog() && sender->Dialog()->form() && done >= total / 2 && done - 4096 < total / 2)
                qobject_cast<QWidget*>(sender->Dialog()->form())->grab().save(screenshot);
        };

    const QString only = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    const auto wanted = [&only](const char* name) { return only.isEmpty() || only == QLatin1String(name); };
    const double curl = runTool("curl", {"-s", "-o", dir.filePath("curl.bin"), url});
    if (wanted("shown"))
        report("HTTP download, dialog shown", mb, runTransfer(transfer, tpHttp, url, dir.filePath("http")), curl,
               "curl");
    if (wanted("hidden")) {
        transfer.ShowDialog = false;
        report("HTTP download, dialog hidden", mb, runTransfer(transfer, tpHttp, url, dir.filePath("hidden")), curl,
               "curl");
        transfer.ShowDialog = true;
    }
    if (wanted("copy")) {
        const double cp = runTool("cp", {source, dir.filePath("cp.bin")});
        report("Local copy, dialog shown", mb, runTransfer(transfer, tpFile, source, dir.filePath("copy")), cp, "cp");
    }

    server.stop();
    serving.join();
    return 0;
}
