// The main window's proxy state reaches every translation it runs: through a
// real proxy while the use flag is on, not at all once it is off, and never
// for a service on this machine. Names under TinyProxy::RemoteDomain stand
// for a service elsewhere that only the proxy reaches.
#include "LoopbackHttpServer.h"
#include "TranslationOptions.h"
#include "WindowDriver.h"
#include "TinyProxy.h"

#include "../app/AppFixture.h"
#include "WindowTranslation.h"

#include <QTextEdit>
#include <QtTest>

namespace {

bool forwardedByProxy(const LoopbackHttpServer::Request& request)
{
    return QByteArray::fromStdString(request.head()).toLower().contains("\r\nvia:");
}

// The translations the service was sent (besides them a run asks for its list of pairs).
std::vector<LoopbackHttpServer::Request> translations(const AnsweringHttpServer& service)
{
    std::vector<LoopbackHttpServer::Request> posted;
    for (const LoopbackHttpServer::Request& request : service.requests())
        if (request.method == "POST")
            posted.push_back(request);
    return posted;
}

QByteArray remoteEndpoint(int port)
{
    return QStringLiteral("http://service.%1:%2/translate").arg(TinyProxy::RemoteDomain).arg(port).toUtf8();
}

}  // namespace

class TestProxyWindow : public QObject {
    Q_OBJECT
private slots:
    void init()
    {
        for (const char* name : {"no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY"})
            qunsetenv(name);
    }

    void translationsFollowTheWindowsProxySettings()
    {
        AppFixture fixture;
        AnsweringHttpServer service("\"Hola\"");
        qputenv("LINGUARO_SERVICE_URL", remoteEndpoint(service.port()));
        TinyProxy proxy(fixture.home.path(), "linguaro", "s3cret", service.port());
        QVERIFY2(proxy.ready(), qPrintable(proxy.log()));

        MainWindow form;
        form.options().proxy = ProxySettings{true, "127.0.0.1", QString::number(proxy.port()), "linguaro", "s3cret"};
        ui(form).sourcePane()->setPlainText(QStringLiteral("Hello"));
        QVERIFY(translateInWindow(form));
        QCOMPARE(fixture.prompts.errors, QStringList());
        QVERIFY2(ui(form).targetPane()->toPlainText().contains("Hola"),
                 qPrintable(ui(form).targetPane()->toPlainText()));
        QCOMPARE(form.statusText(), QString("Done."));
        QCOMPARE(translations(service).size(), 1u);
        QVERIFY(forwardedByProxy(translations(service).back()));

        // a refused login ends the run with the error report; nothing reaches the service
        form.options().proxy.Password = QStringLiteral("wrong");
        QVERIFY(translateInWindow(form));
        QCOMPARE(fixture.prompts.errors.size(), 1);
        QCOMPARE(translations(service).size(), 1u);

        // off: the request goes direct, where only the proxy could have found the service
        form.options().proxy.UseProxy = false;
        QVERIFY(translateInWindow(form));
        QCOMPARE(fixture.prompts.errors.size(), 2);
        QVERIFY2(!fixture.prompts.errors.last().contains("proxy"), qPrintable(fixture.prompts.errors.last()));
        QCOMPARE(translations(service).size(), 1u);
    }

    // The first close stores the proxy choice off; from the next start on the
    // session's http_proxy is taken over. A service on this machine is still
    // reached directly, one elsewhere through that proxy, also when the proxy
    // is named by a bracketed IPv6 address.
    void sessionProxyFromTheSecondStart_data()
    {
        QTest::addColumn<QByteArray>("listen");
        QTest::addColumn<QString>("urlHost");
        QTest::newRow("IPv4 proxy") << QByteArray("127.0.0.1") << QString("127.0.0.1");
        QTest::newRow("IPv6 proxy") << QByteArray("::1") << QString("[::1]");
    }
    void sessionProxyFromTheSecondStart()
    {
        QFETCH(QByteArray, listen);
        QFETCH(QString, urlHost);
        AppFixture fixture;
        AnsweringHttpServer service("\"Hola\"");
        TinyProxy proxy(fixture.home.path(), nullptr, nullptr, service.port(), listen.constData());
        if (!proxy.ready() && listen == "::1")
            QSKIP("no IPv6 loopback on this machine");
        QVERIFY2(proxy.ready(), qPrintable(proxy.log()));
        const QString port = QString::number(proxy.port());
        qputenv("http_proxy", QStringLiteral("http://%1:%2/").arg(urlHost, port).toUtf8());

        MainWindow(nullptr).close();
        QVERIFY(fixture.storeText().contains("\"UseProxy\"=dword:00000000"));

        const QByteArray endpoints[] = {QStringLiteral("http://127.0.0.1:%1/translate").arg(service.port()).toUtf8(),
                                        remoteEndpoint(service.port())};
        for (const QByteArray& endpoint : endpoints) {
            qputenv("LINGUARO_SERVICE_URL", endpoint);
            MainWindow form;
            QVERIFY(form.options().proxy.UseProxy);
            QCOMPARE(form.options().proxy.Address, urlHost);
            QCOMPARE(form.options().proxy.Port, port);
            ui(form).sourcePane()->setPlainText(QStringLiteral("Hello"));
            QVERIFY(translateInWindow(form));
            QCOMPARE(fixture.prompts.errors, QStringList());
            QCOMPARE(ui(form).targetPane()->toPlainText(), QString("Hola"));
            QCOMPARE(forwardedByProxy(translations(service).back()), endpoint.contains(TinyProxy::RemoteDomain));
            form.close();
        }
        QCOMPARE(translations(service).size(), 2u);
        // the system's address is stored whole, and read back whole
        QVERIFY2(fixture.storeText().contains(QStringLiteral("\"ProxyAddr\"=\"%1\"").arg(urlHost).toUtf8()),
                 fixture.storeText().constData());
    }
};

QTEST_MAIN(TestProxyWindow)
#include "test_proxy_window.moc"
