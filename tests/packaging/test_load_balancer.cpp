// A team's set-up on loopback: HAProxy with the shipped example in front of
// three real services. One service is killed while translations run and
// started again, then stopped with SIGTERM with no time to finish what it has;
// no translation may fail or come back cut.
#include "LoopbackPorts.h"
#include "PrometheusText.h"
#include "ServiceProcess.h"
#include "TeamSetup.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace {

constexpr int kRequests = 2000;
constexpr int kClients = 8;
const QString kBackend = QStringLiteral("linguaro-services");
const QStringList kServers = {QStringLiteral("translate1"), QStringLiteral("translate2"), QStringLiteral("translate3")};

bool waitUntil(const std::function<bool()>& condition, int milliseconds = 60000)
{
    QDeadlineTimer deadline(milliseconds);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    return true;
}

std::string form(const std::string& text)
{
    return "q=" + QUrl::toPercentEncoding(QString::fromStdString(text)).toStdString() + "&from=en&to=es";
}

// Hands out request numbers up to a limit the test raises step by step, and
// counts the answers, so the test can act while requests are in flight.
class Tickets {
public:
    void release(int upTo)
    {
        std::lock_guard lock(m_mutex);
        m_released = upTo;
        m_changed.notify_all();
    }
    // -1 when every request has been handed out
    int take()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [&] { return m_next < m_released || m_next >= kRequests; });
        return m_next < kRequests ? m_next++ : -1;
    }
    void answered()
    {
        std::lock_guard lock(m_mutex);
        ++m_done;
        m_changed.notify_all();
    }
    bool waitAnswered(int count)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::minutes(5), [&] { return m_done >= count; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_released = 0;
    int m_next = 0;
    int m_done = 0;
};

// The status answered to a request that announces a body of `length` bytes
// and sends only `sent` of them: a limit applies as soon as the headers are in.
int statusOfAnnouncedBody(int port, const char* path, qint64 length, qint64 sent = 0)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), static_cast<quint16>(port));
    if (!socket.waitForConnected(10000))
        return -1;
    socket.write(QStringLiteral("POST %1 HTTP/1.1\r\nHost: balancer\r\nContent-Type: application/octet-stream\r\n"
                                "Content-Length: %2\r\n\r\n")
                     .arg(QLatin1String(path))
                     .arg(length)
                     .toLatin1());
    socket.write(QByteArray(sent, 'a'));
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(30000)) {
    }
    QByteArray reply;
    while (!reply.contains("\r\n") && socket.waitForReadyRead(30000))
        reply += socket.readAll();
    const QList<QByteArray> words = reply.split(' ');
    return words.size() > 1 ? words[1].toInt() : -1;
}

PrometheusText scrape(int port)
{
    httplib::Client client("127.0.0.1", port);
    const auto res = client.Get("/metrics");
    return PrometheusText(res && res->status == 200 ? res->body : std::string());
}

}  // namespace

TEST(LoadBalancer, AServiceKilledOrStoppedUnderLoadCostsNoTranslation)
{
    if (!QFileInfo(TeamSetup::haproxyProgram()).isExecutable())
        GTEST_SKIP() << "haproxy is not installed (apt-get install haproxy): the load-balancer test is skipped";
    int argc = 1;
    char name[] = "test_load_balancer";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);

    std::vector<std::unique_ptr<ServiceProcess>> services;
    std::vector<int> ports;
    for (int i = 0; i < 3; ++i) {
        services.push_back(std::make_unique<ServiceProcess>());
        ASSERT_TRUE(services.back()->running()) << services.back()->startError().toStdString();
        ports.push_back(services.back()->port());
    }
    const int front = LoopbackPorts::free();
    const int statsPort = LoopbackPorts::free();
    const QString config = TeamSetup::loopbackConfig(front, statsPort, ports);
    ASSERT_FALSE(config.isEmpty()) << "the example does not name three services";
    QTemporaryDir folder;
    QFile configFile(folder.filePath("haproxy.cfg"));
    ASSERT_TRUE(configFile.open(QIODevice::WriteOnly));
    configFile.write(config.toUtf8());
    configFile.close();
    QProcess haproxy;
    haproxy.setProcessChannelMode(QProcess::MergedChannels);
    haproxy.start(TeamSetup::haproxyProgram(), {"-db", "-f", configFile.fileName()});
    ASSERT_TRUE(haproxy.waitForStarted());
    const auto state = [&](int server) {
        return TeamSetup::Stats(statsPort).value(kBackend, kServers[server], "status");
    };
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(waitUntil([&] { return state(i) == "UP"; })) << haproxy.readAll().toStdString();

    // the right answers, asked of one service directly
    const std::vector<std::string> sentences = {
        "The dog is big.",           "Good morning.",          "The house is small.",
        "Thank you very much.",      "The river is long.",     "I have two cats.",
        "The book is on the table.", "We live in a big city.", "The children play in the garden.",
        "Where is the station?",     "It is cold today.",      "She reads a new book."};
    std::vector<std::string> expected;
    {
        httplib::Client direct("127.0.0.1", ports[0]);
        for (const std::string& sentence : sentences) {
            const auto res = direct.Post("/translate", form(sentence), "application/x-www-form-urlencoded");
            ASSERT_TRUE(res && res->status == 200);
            expected.push_back(res->body);
        }
    }

    Tickets tickets;
    std::mutex failuresMutex;
    std::vector<std::string> failures;
    std::vector<std::thread> clients;
    for (int c = 0; c < kClients; ++c) {
        clients.emplace_back([&] {
            httplib::Client client("127.0.0.1", front);
            client.set_keep_alive(true);
            client.set_read_timeout(180, 0);
            for (int n = tickets.take(); n >= 0; n = tickets.take()) {
                const size_t which = static_cast<size_t>(n) % sentences.size();
                const auto res = client.Post("/translate", form(sentences[which]), "application/x-www-form-urlencoded");
                if (!res || res->status != 200 || res->body != expected[which]) {
                    std::lock_guard lock(failuresMutex);
                    failures.push_back(
                        "request " + std::to_string(n) + ": "
                        + (res ? std::to_string(res->status) + " " + res->body : httplib::to_string(res.error())));
                }
                tickets.answered();
            }
        });
    }

    // killed while requests are in flight on it, then found down, then started again
    tickets.release(400);
    ASSERT_TRUE(tickets.waitAnswered(300));
    services[2]->process().kill();
    services[2]->process().waitForFinished();
    tickets.release(800);
    ASSERT_TRUE(waitUntil([&] { return state(2).startsWith("DOWN"); }));
    tickets.release(1200);
    ASSERT_TRUE(tickets.waitAnswered(1200));
    services[2] = std::make_unique<ServiceProcess>(QStringList{"--port", QString::number(ports[2])});
    ASSERT_TRUE(services[2]->running()) << services[2]->startError().toStdString();
    ASSERT_TRUE(waitUntil([&] { return state(2) == "UP"; }));
    tickets.release(kRequests);
    for (std::thread& client : clients)
        client.join();

    EXPECT_TRUE(failures.empty()) << failures.size() << " failed, the first: " << failures.front();

    // every request answered once, spread over the services, some sent on after a failure
    const TeamSetup::Stats stats(statsPort);
    ASSERT_TRUE(stats.read());
    std::vector<long long> served;
    for (const QString& server : kServers)
        served.push_back(stats.number(kBackend, server, "hrsp_2xx"));
    EXPECT_EQ(served[0] + served[1] + served[2], kRequests);
    EXPECT_GT(served[0], kRequests / 4);
    EXPECT_GT(served[1], kRequests / 4);
    EXPECT_GT(stats.number(kBackend, "BACKEND", "wredis"), 0) << "no request was sent on to another service";

    // each service's own account agrees with the balancer's
    const PrometheusText first = scrape(ports[0]), second = scrape(ports[1]), restarted = scrape(ports[2]);
    const std::string translated = PrometheusText::requests("/translate", 200);
    EXPECT_EQ(first[translated], served[0] + static_cast<long long>(sentences.size()));
    EXPECT_EQ(second[translated], served[1]);
    EXPECT_GT(restarted[translated], 0) << "the service started again was given no work";
    EXPECT_LE(restarted[translated], served[2]);
    for (const PrometheusText* metrics : {&first, &second, &restarted}) {
        EXPECT_EQ((*metrics)["linguaro_translation_seconds_count"], (*metrics)[translated]);
        EXPECT_GE((*metrics)["linguaro_engine_chains_running{pair=\"eng-spa\"}"], 1);
        EXPECT_EQ((*metrics)["linguaro_pairs_out_of_use"], 0);
    }
    for (int i = 0; i < 3; ++i) {
        httplib::Client client("127.0.0.1", ports[static_cast<size_t>(i)]);
        const auto health = client.Get("/health");
        ASSERT_TRUE(health);
        EXPECT_EQ(health->status, 200);
        EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(health->body))["pairs"].toInteger(),
                  static_cast<qint64>((i == 2 ? restarted : first)["linguaro_pairs_available"]));
    }

    // the translator itself pointed at the balancer gets what a service reached directly gives it
    QTemporaryDir home;
    const auto translateWith = [&](int port) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LINGUARO_SERVICE_URL", QStringLiteral("http://127.0.0.1:%1/translate").arg(port));
        environment.insert("XDG_CONFIG_HOME", home.path());
        environment.insert("XDG_DATA_HOME", home.path());
        QProcess translator;
        translator.setProcessEnvironment(environment);
        translator.start(LINGUARO_BINARY_DIR "/linguaro", {"--from", "en", "--to", "es"});
        translator.write("The dog is big.\nGood morning.\n");
        translator.closeWriteChannel();
        translator.waitForFinished(60000);
        EXPECT_EQ(translator.exitCode(), 0) << translator.readAllStandardError().toStdString();
        return translator.readAllStandardOutput().toStdString();
    };
    const std::string balanced = translateWith(front);
    EXPECT_NE(balanced.find("El perro es grande."), std::string::npos) << balanced;
    EXPECT_EQ(balanced, translateWith(ports[1]));

    // bodies over the services' limit are refused at the door; documents may be larger
    EXPECT_EQ(statusOfAnnouncedBody(front, "/translate", 2 * 1024 * 1024), 413);
    EXPECT_EQ(statusOfAnnouncedBody(front, "/translate-document", 60 * 1000 * 1000), 413);
    // past the balancer's buffer, so it goes on to a service (which may hang up on the rest: it
    // translates no documents yet); the balancer's count of refusals tells what it did
    EXPECT_NE(statusOfAnnouncedBody(front, "/translate-document", 2 * 1024 * 1024, 128 * 1024), 413);
    EXPECT_EQ(TeamSetup::Stats(statsPort).number("linguaro", "FRONTEND", "dreq"), 2);

    // stopped with SIGTERM and no drain time: what it was translating is closed
    // unanswered, then its port refuses; the balancer sends all of it elsewhere
    services[2].reset();
    services[2] =
        std::make_unique<ServiceProcess>(QStringList{"--port", QString::number(ports[2]), "--drain-timeout", "0"});
    ASSERT_TRUE(services[2]->running()) << services[2]->startError().toStdString();
    ASSERT_TRUE(waitUntil([&] { return state(2) == "UP"; }));
    std::string chunk;
    for (size_t i = 0; chunk.size() < 6000; ++i)
        chunk += sentences[i % sentences.size()] + " ";
    const auto direct =
        httplib::Client("127.0.0.1", ports[0]).Post("/translate", form(chunk), "application/x-www-form-urlencoded");
    ASSERT_TRUE(direct && direct->status == 200);
    const long long retriedBefore = TeamSetup::Stats(statsPort).number(kBackend, "BACKEND", "wretr")
                                    + TeamSetup::Stats(statsPort).number(kBackend, "BACKEND", "wredis");
    std::atomic<bool> stopped{false};
    std::atomic<int> answered{0};
    std::vector<std::thread> senders;
    for (int c = 0; c < kClients; ++c) {
        senders.emplace_back([&] {
            httplib::Client client("127.0.0.1", front);
            client.set_keep_alive(true);
            client.set_read_timeout(180, 0);
            while (!stopped) {
                const auto res = client.Post("/translate", form(chunk), "application/x-www-form-urlencoded");
                if (!res || res->status != 200 || res->body != direct->body) {
                    std::lock_guard lock(failuresMutex);
                    failures.push_back("while stopped: "
                                       + (res ? std::to_string(res->status) + " " + res->body.substr(0, 200)
                                              : httplib::to_string(res.error())));
                }
                ++answered;
            }
        });
    }
    const bool flowing = waitUntil([&] { return answered >= kClients; });
    services[2]->process().terminate();
    const bool ended = services[2]->process().waitForFinished(60000);
    const bool down = waitUntil([&] { return state(2).startsWith("DOWN"); });
    const int answeredWhenDown = answered;
    const bool after = waitUntil([&] { return answered >= answeredWhenDown + kClients; });
    stopped = true;
    for (std::thread& sender : senders)
        sender.join();
    ASSERT_TRUE(flowing && ended && down && after);
    EXPECT_EQ(services[2]->process().exitCode(), 0);
    EXPECT_TRUE(failures.empty()) << failures.size() << " failed, the first: " << failures.front();
    EXPECT_GT(TeamSetup::Stats(statsPort).number(kBackend, "BACKEND", "wretr")
                  + TeamSetup::Stats(statsPort).number(kBackend, "BACKEND", "wredis"),
              retriedBefore)
        << "nothing was sent on from the stopped service";

    haproxy.terminate();
    haproxy.waitForFinished();
}
