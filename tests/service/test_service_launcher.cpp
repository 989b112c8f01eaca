// Starting the service on demand: only for the built-in endpoint, only when
// nothing answers there, shared by every launcher of it, and stopped only when
// its last user has gone, never a service started by hand.
#include "ServiceLauncher.h"
#include "ServiceProcess.h"
#include "LoopbackPorts.h"

#include <QTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString kProgram = QStringLiteral(LINGUARO_BINARY_DIR "/linguaro-service");

using LoopbackPorts::answers;
using LoopbackPorts::free;

QString endpointOn(quint16 port) { return QStringLiteral("http://127.0.0.1:%1/translate").arg(port); }

}  // namespace

class TestServiceLauncher : public QObject {
    Q_OBJECT

private slots:
    void init() { qunsetenv("LINGUARO_SERVICE_URL"); }

    void recognisesTheBuiltInEndpoint()
    {
        QVERIFY(ServiceLauncher::isBuiltInEndpoint(QStringLiteral("http://127.0.0.1:47210/translate")));
        QVERIFY(ServiceLauncher::isBuiltInEndpoint(QStringLiteral("http://localhost:5000/translate")));
        QVERIFY(!ServiceLauncher::isBuiltInEndpoint(QStringLiteral("http://example.org:47210/translate")));
        QVERIFY(!ServiceLauncher::isBuiltInEndpoint(QStringLiteral("https://127.0.0.1:47210/translate")));
        QVERIFY(!ServiceLauncher::isBuiltInEndpoint(QStringLiteral("http://127.0.0.1:47210/other")));
        QVERIFY(!ServiceLauncher::isBuiltInEndpoint(QString()));
    }

    void startsTheServiceAndStopsItWhenDestroyed()
    {
        const quint16 port = free();
        {
            ServiceLauncher launcher(kProgram);
            QCOMPARE(launcher.ensureRunning(endpointOn(port)), QString());
            QVERIFY(launcher.startedService());
            QVERIFY(answers(port));
            // asking again leaves the running one alone
            QCOMPARE(launcher.ensureRunning(endpointOn(port)), QString());
            QVERIFY(launcher.startedService());
        }
        QTRY_VERIFY_WITH_TIMEOUT(!answers(port), 10000);
    }

    void aSharedServiceOutlivesItsStarterAndEndsAfterItsLastUser()
    {
        const quint16 port = free();
        auto starter = std::make_unique<ServiceLauncher>(kProgram);
        QCOMPARE(starter->ensureRunning(endpointOn(port)), QString());
        QVERIFY(starter->startedService());
        auto other = std::make_unique<ServiceLauncher>(kProgram);
        QCOMPARE(other->ensureRunning(endpointOn(port)), QString());
        QVERIFY(!other->startedService());
        // the starter goes while another still uses the service: it stays
        starter.reset();
        QVERIFY(answers(port));
        QCOMPARE(other->ensureRunning(endpointOn(port)), QString());
        QVERIFY(!other->startedService());
        // and ends by itself after its last user
        other.reset();
        QTRY_VERIFY_WITH_TIMEOUT(!answers(port), 20000);
    }

    void theStarterStopsItAfterTheOtherUsersLeft()
    {
        const quint16 port = free();
        {
            ServiceLauncher starter(kProgram);
            QCOMPARE(starter.ensureRunning(endpointOn(port)), QString());
            {
                ServiceLauncher other(kProgram);
                QCOMPARE(other.ensureRunning(endpointOn(port)), QString());
            }
            // the other user gone, the starter's own use goes on
            QVERIFY(answers(port));
            QVERIFY(starter.startedService());
        }
        QVERIFY(!answers(port));
    }

    void leavesARunningServiceAlone()
    {
        ServiceProcess running;
        QVERIFY2(running.running(), qPrintable(running.startError()));
        {
            ServiceLauncher launcher(kProgram);
            QCOMPARE(launcher.ensureRunning(running.endpoint()), QString());
            QVERIFY(!launcher.startedService());
        }
        // destroying a launcher that started nothing stops nothing
        QVERIFY(answers(static_cast<quint16>(running.port())));
    }

    void configuredServiceIsNotOursToStart()
    {
        const quint16 port = free();
        qputenv("LINGUARO_SERVICE_URL", endpointOn(port).toUtf8());
        ServiceLauncher launcher(kProgram);
        QCOMPARE(launcher.ensureRunning(endpointOn(port)), QString());
        QVERIFY(!launcher.startedService());
        qunsetenv("LINGUARO_SERVICE_URL");
        QCOMPARE(launcher.ensureRunning(QStringLiteral("http://192.0.2.1:80/translate")), QString());
        QVERIFY(!launcher.startedService());
    }

    void missingProgramGivesAClearError()
    {
        ServiceLauncher launcher(QStringLiteral("/nonexistent/linguaro-service"));
        const QString error = launcher.ensureRunning(endpointOn(free()));
        QVERIFY(error.contains(QStringLiteral("/nonexistent/linguaro-service")));
        QVERIFY(!launcher.startedService());
    }

    void serviceThatCannotListenGivesItsReason()
    {
        // a socket bound to the port but not listening: connections are
        // refused, yet the service cannot bind there
        const int holder = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::bind(holder, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        socklen_t length = sizeof address;
        ::getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length);
        const quint16 port = ntohs(address.sin_port);

        ServiceLauncher launcher(kProgram);
        const QString error = launcher.ensureRunning(endpointOn(port));
        ::close(holder);
        QVERIFY2(error.contains(QStringLiteral("cannot listen on 127.0.0.1:%1").arg(port)), qPrintable(error));
        QVERIFY(!launcher.startedService());
    }
};

QTEST_GUILESS_MAIN(TestServiceLauncher)
#include "test_service_launcher.moc"
