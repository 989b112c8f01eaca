// Short sentences through HAProxy (the shipped example on loopback) with one,
// two and three services: requests per second, and the median latency HAProxy
// adds to a request over a service reached directly.
#include "BenchSupport.h"
#include "TeamSetup.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

const std::vector<std::string> kSentences = {"The dog is big.",      "Good morning.",         "The house is small.",
                                             "Thank you very much.", "Where is the station?", "It is cold today."};

std::string form(const std::string& text)
{
    return "q=" + QUrl::toPercentEncoding(QString::fromStdString(text)).toStdString() + "&from=en&to=es";
}

int freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Requests answered per second by `clients` keep-alive clients over `seconds`.
double throughput(int port, int clients, double seconds)
{
    std::atomic<long> answered{0};
    std::atomic<long> failed{0};
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([&, c] {
            httplib::Client client("127.0.0.1", port);
            client.set_keep_alive(true);
            for (size_t n = static_cast<size_t>(c); Clock::now() < end; ++n) {
                const auto res = client.Post("/translate", form(kSentences[n % kSentences.size()]),
                                             "application/x-www-form-urlencoded");
                (res && res->status == 200 ? answered : failed)++;
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    if (failed)
        std::printf("  (%ld requests failed)\n", failed.load());
    return static_cast<double>(answered) / seconds;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return -1;
    std::nth_element(values.begin(), values.begin() + static_cast<long>(values.size() / 2), values.end());
    return values[values.size() / 2];
}

// The median round trips, in milliseconds, of one client's requests to each
// port, taken in turns so all see the machine alike: translations, or GET
// /health, which costs the service almost nothing and so shows HAProxy's own share.
std::vector<double> medianLatencies(const std::vector<int>& ports, int requests, bool translate = true)
{
    std::vector<std::unique_ptr<httplib::Client>> clients;
    for (const int port : ports) {
        clients.push_back(std::make_unique<httplib::Client>("127.0.0.1", port));
        clients.back()->set_keep_alive(true);
    }
    std::vector<std::vector<double>> times(ports.size());
    for (int n = 0; n < requests; ++n) {
        for (size_t i = 0; i < clients.size(); ++i) {
            const auto start = Clock::now();
            const auto res =
                translate ? clients[i]->Post("/translate", form(kSentences[static_cast<size_t>(n) % kSentences.size()]),
                                             "application/x-www-form-urlencoded")
                          : clients[i]->Get("/health");
            if (res && res->status == 200)
                times[i].push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
    }
    std::vector<double> medians;
    for (const auto& series : times)
        medians.push_back(median(series));
    return medians;
}

class Balancer {
public:
    Balancer(const std::vector<int>& servicePorts, const QString& folder) : m_port(freePort()), m_statsPort(freePort())
    {
        QFile config(folder + QStringLiteral("/haproxy-%1.cfg").arg(servicePorts.size()));
        config.open(QIODevice::WriteOnly);
        config.write(TeamSetup::loopbackConfig(m_port, m_statsPort, servicePorts).toUtf8());
        config.close();
        m_process.start(TeamSetup::haproxyProgram(), {"-db", "-f", config.fileName()});
        // ready once the balancer counts every service up
        for (int tries = 0; tries < 200; ++tries) {
            const TeamSetup::Stats stats(m_statsPort);
            int up = 0;
            for (size_t i = 1; i <= servicePorts.size(); ++i)
                up += stats.value("linguaro-services", QStringLiteral("translate%1").arg(i), "status") == "UP";
            if (up == static_cast<int>(servicePorts.size()))
                return;
            QThread::msleep(100);
        }
        std::fprintf(stderr, "bench_cluster: HAProxy did not see the services up\n");
    }
    ~Balancer()
    {
        m_process.terminate();
        m_process.waitForFinished();
    }
    int port() const { return m_port; }

private:
    int m_port;
    int m_statsPort;
    QProcess m_process;
};

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 5.0;
    if (!QFileInfo(TeamSetup::haproxyProgram()).isExecutable()) {
        std::fprintf(stderr, "bench_cluster: haproxy is not installed (apt-get install haproxy)\n");
        return 1;
    }
    QTemporaryDir folder;
    std::vector<std::unique_ptr<QProcess>> services;
    std::vector<int> ports;
    for (int i = 0; i < 3; ++i) {
        services.push_back(std::make_unique<QProcess>());
        const QString endpoint =
            BenchSupport::startService(*services.back(), QStringLiteral(LINGUARO_BINARY_DIR "/linguaro-service"));
        if (endpoint.isEmpty()) {
            std::fprintf(stderr, "bench_cluster: the service did not start\n");
            return 1;
        }
        ports.push_back(QUrl(endpoint).port());
        // the engine's programs started, so no run pays for a cold pair
        medianLatencies({ports.back()}, 20);
    }
    const int clients = 8;
    std::printf("Short sentences, English to Spanish, %d clients, %.0f s a run, %d cores\n", clients, seconds,
                static_cast<int>(std::thread::hardware_concurrency()));
    std::printf("  one service reached directly: %8.0f requests/s\n", throughput(ports[0], clients, seconds));
    for (size_t n = 1; n <= 3; ++n) {
        const Balancer balancer(std::vector<int>(ports.begin(), ports.begin() + static_cast<long>(n)), folder.path());
        std::printf("  through HAProxy, %zu service%s:  %8.0f requests/s\n", n, n > 1 ? "s" : " ",
                    throughput(balancer.port(), clients, seconds));
    }
    const int requests = 1000;
    std::vector<double> translations, health;
    {
        const Balancer balancer({ports[0]}, folder.path());
        translations = medianLatencies({ports[0], balancer.port()}, requests);
        health = medianLatencies({ports[0], balancer.port()}, requests, false);
    }
    std::printf("Median of %d requests one after another, direct and through HAProxy (target: under 0.5 ms added)\n",
                requests);
    std::printf("  translation: %.3f ms and %.3f ms, added %.3f ms\n", translations[0], translations[1],
                translations[1] - translations[0]);
    std::printf("  GET /health: %.3f ms and %.3f ms, added %.3f ms\n", health[0], health[1], health[1] - health[0]);
    for (auto& service : services) {
        service->terminate();
        service->waitForFinished();
    }
    return 0;
}
