// The main window's proxy state reaches every translation it runs: through a
// real proxy with basic authentication while the use flag is on, straight to
// the service once it is off.
#include "LoopbackHttpServer.h"
#include "TinyProxy.h"

#include "../app/AppFixture.h"

#include <QTextEdit>
#include <QtTest>

namespace {

bool forwardedByProxy(const LoopbackHttpServer::Request& request)
{
    return QByteArray::fromStdString(request.head).toLower().contains("\r\nvia:");
}

}  // namespace

class TestProxyWindow : public QObject {
    Q_OBJECT
private slots:
    void translationsFollowTheWindowsProxySettings()
    {
        AppFixture fixture;
        for (const char* name : {"no_proxy", "NO_PROXY", "all_proxy", "ALL_PROXY"})
            qunsetenv(name);
        LoopbackHttpServer service("\"Hola\"");
        qputenv("LINGUARO_SERVICE_URL",
                QStringLiteral("http://127.0.0.1:%1/translate").arg(service.port()).toUtf8());
        TinyProxy proxy(fixture.home.path(), "linguaro", "s3cret");
        QVERIFY2(proxy.ready(), qPrintable(proxy.log()));

        TForm1 form;
        form.Proxy = ProxySettings{true, "127.0.0.1", QString::number(proxy.port()), "linguaro", "s3cret"};
        form.RichEdit1->setPlainText(QStringLiteral("Hello"));
        form.ToolButton20Click();
        QCOMPARE(fixture.prompts.errors, QStringList());
        QVERIFY2(form.RichEdit2->toPlainText().contains("Hola"), qPrintable(form.RichEdit2->toPlainText()));
        QCOMPARE(form.statusText(), QString("Done."));
        QCOMPARE(service.requests().size(), 1u);
        QVERIFY(forwardedByProxy(service.requests().back()));

        // a refused login ends the run with the error report; nothing reaches the service
        form.Proxy.Password = QStringLiteral("wrong");
        form.ToolButton20Click();
        QCOMPARE(fixture.prompts.errors.size(), 1);
        QCOMPARE(service.requests().size(), 1u);

        form.Proxy.UseProxy = false;
        form.ToolButton20Click();
        QCOMPARE(fixture.prompts.errors.size(), 1);
        QCOMPARE(service.requests().size(), 2u);
        QVERIFY(!forwardedByProxy(service.requests().back()));
    }
};

QTEST_MAIN(TestProxyWindow)
#include "test_proxy_window.moc"
