// The translator on a private session bus: this test is the first program
// (its window and bus service in process), the real linguaro program the
// second; the calls other programs make; a bus that goes away mid-call.
#include "AppFixture.h"
#include "WindowDriver.h"
#include "../translate/LoopbackService.h"
#include "WindowTranslation.h"
#include "DesktopBus.h"
#include "History.h"
#include "HistoryRecorder.h"
#include "PrivateSessionBus.h"
#include "ServiceProcess.h"
#include "SingleInstance.h"
#include "TranslatorBusService.h"
#include "WindowRequests.h"

#include <QClipboard>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusError>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QGuiApplication>
#include <QProcess>
#include <QTcpServer>
#include <QTextEdit>
#include <QtTest>

#include <csignal>

namespace {

const QString Program = QStringLiteral(LINGUARO_BINARY_DIR "/linguaro");

struct Finished {
    int exitCode = -1;
    QString errors;
};

// The first program, wired as the translator's start wires it: its service on
// the bus, the claim of the name, the window with Spanish as the target.
struct FirstProgram {
    TranslatorBusService bus;
    SingleInstance instance{&bus};
    MainWindow form;

    FirstProgram()
    {
        ui(form).targetList()->setCurrentIndex(3);
        bus.attach(new WindowRequests(form));
        form.show();
    }
    ~FirstProgram()
    {
        bus.attach(nullptr);
        instance.release();
    }
};

}  // namespace

class TestSessionBus : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init()
    {
        ui(*m_form).targetPane()->clear();
        m_form->setStatus(MainWindow::IdleStatus, false);
    }

    void answersOtherPrograms();
    void secondStartsHandTheirRequestToTheWindow();
    void selectionWhileTranslatingIsTurnedAway();
    void largeSelectionIsAnsweredAtOnce();
    void twoRealProgramsMakeOneWindow();
    void callerThatLeavesStopsItsTranslation();
    void aServiceKeepingASessionGetsItsCookieFromEveryChunk();
    // last: the bus of this process is gone afterwards
    void busGoneMidCall();

private:
    QDBusMessage call(const QString& method, const QVariantList& arguments, int timeoutMs = 120000)
    {
        QDBusMessage message = QDBusMessage::createMethodCall(DesktopBus::ServiceName, DesktopBus::ObjectPath,
                                                              DesktopBus::Interface, method);
        message.setArguments(arguments);
        QDBusPendingCall pending = m_client.asyncCall(message, timeoutMs);
        QDBusPendingCallWatcher watcher(pending);
        QSignalSpy finished(&watcher, &QDBusPendingCallWatcher::finished);
        if (!pending.isFinished())
            finished.wait(timeoutMs + 10000);
        return pending.reply();
    }

    // The real program, its window on the offscreen platform, on a bus of the test's choosing.
    QProcessEnvironment programEnvironment(const QString& busAddress) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DBUS_SESSION_BUS_ADDRESS", busAddress);
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.insert("XDG_CONFIG_HOME", m_fixture->home.filePath("program-config"));
        environment.insert("XDG_DATA_HOME", m_fixture->home.filePath("program-data"));
        // its components installed: the window is up at once, with nothing to fetch first
        environment.insert("windir", m_fixture->home.filePath("program-windows"));
        equipWindowsFolder(m_fixture->home.filePath("program-windows"));
        environment.insert("XDG_RUNTIME_DIR", m_fixture->home.path());
        environment.insert("LINGUARO_SERVICE_URL", m_service->endpoint());
        return environment;
    }

    // Runs the program while this test's window and bus service go on answering.
    Finished runProgram(const QStringList& arguments, const QString& busAddress)
    {
        QProcess program;
        program.setProcessEnvironment(programEnvironment(busAddress));
        program.start(Program, arguments);
        QDeadlineTimer deadline(60000);
        while (program.state() != QProcess::NotRunning && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished();
            return {};
        }
        return {program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1,
                QString::fromUtf8(program.readAllStandardError())};
    }

    QString translateInWindow(const QString& text)
    {
        ui(*m_form).sourcePane()->setPlainText(text);
        ui(*m_form).targetPane()->clear();
        if (!::translateInWindow(*m_form))
            return QStringLiteral("(the translation did not end)");
        return ui(*m_form).targetPane()->toPlainText();
    }

    std::unique_ptr<PrivateSessionBus> m_bus;
    std::unique_ptr<ServiceProcess> m_service;
    std::unique_ptr<AppFixture> m_fixture;
    std::unique_ptr<FirstProgram> m_first;
    MainWindow* m_form = nullptr;
    QDBusConnection m_client{QString()};
};

void TestSessionBus::initTestCase()
{
    m_bus = std::make_unique<PrivateSessionBus>();
    QVERIFY2(!m_bus->address().isEmpty(), qPrintable(m_bus->error()));
    qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus->address().toUtf8());
    m_service = std::make_unique<ServiceProcess>();
    QVERIFY2(m_service->running(), qPrintable(m_service->startError()));
    m_fixture = std::make_unique<AppFixture>();
    qputenv("LINGUARO_SERVICE_URL", m_service->endpoint().toUtf8());

    m_first = std::make_unique<FirstProgram>();
    QCOMPARE(m_first->instance.role(), SingleInstance::Role::First);
    m_form = &m_first->form;

    m_client = QDBusConnection::connectToBus(m_bus->address(), QStringLiteral("other program"));
    QVERIFY(m_client.isConnected());
}

void TestSessionBus::cleanupTestCase()
{
    m_first.reset();
    QDBusConnection::disconnectFromBus(QStringLiteral("other program"));
}

void TestSessionBus::answersOtherPrograms()
{
    const QDBusMessage languages = call("Languages", {});
    QCOMPARE(languages.type(), QDBusMessage::ReplyMessage);
    const auto entries = qdbus_cast<LanguageEntries>(languages.arguments().value(0));
    QCOMPARE(entries.size(), 54);
    QCOMPARE(entries.at(0).code + '|' + entries.at(0).name, QStringLiteral("en|English"));
    QCOMPARE(entries.at(12).code + '|' + entries.at(12).name, QStringLiteral("zh-tw|Chinese(T)"));

    // the language of a text, and an empty code for one that is too short to tell
    const QDBusMessage detected =
        call("DetectLanguage", {QStringLiteral("Ayer por la tarde fuimos al cine con mis primos.")});
    QCOMPARE(detected.type(), QDBusMessage::ReplyMessage);
    QCOMPARE(detected.arguments().value(0).toString(), QStringLiteral("es"));
    QVERIFY(detected.arguments().value(1).toUInt() >= 70);
    const QDBusMessage tooShort = call("DetectLanguage", {QStringLiteral("Hola")});
    QCOMPARE(tooShort.arguments(), (QVariantList{QString(), 0u}));

    // the same text gives what the window's target pane shows
    const QString text = QStringLiteral("The house is big & green.\nWhere is the \"old\" station?\n\nGood night.");
    const QDBusMessage translated = call("Translate", {text, "en", "Spanish"});
    QCOMPARE(translated.type(), QDBusMessage::ReplyMessage);
    QCOMPARE(translated.arguments().value(0).toString(), translateInWindow(text));
    QVERIFY(translated.arguments().value(0).toString().contains("casa"));
    // both went into the one history, each with where it came from
    QStringList origins;
    HistoryRecorder::flush();
    History history(m_fixture->home.filePath("data/Brenmark/history.sqlite"));
    for (const HistoryEntry& entry : history.search(QStringLiteral("DONDE station")))
        if (entry.source == text && entry.translation == translated.arguments().value(0).toString())
            origins << HistoryEntry::originName(entry.origin);
    origins.sort();
    QCOMPARE(origins, QStringList({"D-Bus", "window"}));
    // the window's script for Serbian holds for other programs too
    ui(*m_form).item(ObjectName::serbianCyrillic)->setChecked(true);
    const QDBusMessage serbian = call("Translate", {QStringLiteral("Xyzzy loves the river."), "en", "sr"});
    ui(*m_form).item(ObjectName::serbianCyrillic)->setChecked(false);
    QCOMPARE(serbian.arguments().value(0).toString().trimmed(), QStringLiteral("Xyzzy љубав the ријека."));

    struct Refusal {
        QVariantList arguments;
        const char* message;
    };
    for (const Refusal& refusal :
         {Refusal{{"Hello", "xx", "es"}, "Unknown language code 'xx'"},
          Refusal{{"Hello", "en", "klingon"}, "Unknown language code 'klingon'"},
          Refusal{{" ", "en", "es"}, "Nothing to translate!"},
          Refusal{{"Hallo", "nl", "Dutch"}, "Source language is the same as the destination language!"}}) {
        const QDBusMessage reply = call("Translate", refusal.arguments);
        QCOMPARE(reply.type(), QDBusMessage::ErrorMessage);
        QCOMPARE(reply.errorName(), DesktopBus::InvalidArgsError);
        QVERIFY2(reply.errorMessage().startsWith(QLatin1String(refusal.message)), qPrintable(reply.errorMessage()));
    }
}

void TestSessionBus::secondStartsHandTheirRequestToTheWindow()
{
    const QString selection = QStringLiteral("The dog is in the house.");
    QGuiApplication::clipboard()->setText(selection);
    ui(*m_form).sourcePane()->setPlainText(QStringLiteral("an earlier text"));
    m_form->showMinimized();
    const Finished translated = runProgram({"--translate-selection"}, m_bus->address());
    QCOMPARE(translated.errors, QString());
    QCOMPARE(translated.exitCode, 0);
    QVERIFY(!m_form->isMinimized());
    QTRY_COMPARE_WITH_TIMEOUT(m_form->statusText(), QStringLiteral("Done."), 60000);
    QCOMPARE(ui(*m_form).sourcePane()->toPlainText(), selection);
    QVERIFY2(ui(*m_form).targetPane()->toPlainText().contains("perro"),
             qPrintable(ui(*m_form).targetPane()->toPlainText()));

    QGuiApplication::clipboard()->clear();
    const Finished empty = runProgram({"--translate-selection"}, m_bus->address());
    QCOMPARE(empty.exitCode, 1);
    QCOMPARE(empty.errors, "linguaro: " + BusWindow::NothingSelected + "\n");
    QCOMPARE(m_form->statusText(), BusWindow::NothingSelected);
    QCOMPARE(ui(*m_form).sourcePane()->toPlainText(), selection);

    m_form->showMinimized();
    const Finished shown = runProgram({}, m_bus->address());
    QCOMPARE(shown.exitCode, 0);
    QVERIFY(m_form->isVisible() && !m_form->isMinimized());
}

void TestSessionBus::selectionWhileTranslatingIsTurnedAway()
{
    // several chunks: the run lets the window answer between them
    const QString text = QStringLiteral("The house is big. ").repeated(400);
    QGuiApplication::clipboard()->setText(QStringLiteral("The cat."));
    Finished during;
    bool translatingThen = false;
    QTimer::singleShot(0, this, [&] {
        translatingThen = m_form->translating();
        during = runProgram({"--translate-selection"}, m_bus->address());
    });
    translateInWindow(text);
    QVERIFY(translatingThen);
    QCOMPARE(during.exitCode, 1);
    QVERIFY2(during.errors.contains("busy translating"), qPrintable(during.errors));
    QCOMPARE(m_form->statusText(), QStringLiteral("Done."));
    QCOMPARE(ui(*m_form).sourcePane()->toPlainText(), text);
    QVERIFY(!ui(*m_form).targetPane()->toPlainText().contains("gato"));
}

void TestSessionBus::aServiceKeepingASessionGetsItsCookieFromEveryChunk()
{
    SessionService service;
    qputenv("LINGUARO_SERVICE_URL", service.url("/translate").c_str());
    // no look-up of the engine's version goes first
    ui(*m_form).item(ObjectName::keepHistory)->setChecked(false);
    ui(*m_form).item(ObjectName::reuseTranslations)->setChecked(false);
    const QDBusMessage translated = call("Translate", {SessionService::runText(), "en", "French"});
    ui(*m_form).item(ObjectName::keepHistory)->setChecked(true);
    ui(*m_form).item(ObjectName::reuseTranslations)->setChecked(true);
    qputenv("LINGUARO_SERVICE_URL", m_service->endpoint().toUtf8());
    QCOMPARE(translated.type(), QDBusMessage::ReplyMessage);
    QCOMPARE(translated.arguments().value(0).toString().split('\n'), SessionService::runTranslation("fr"));
    QCOMPARE(service.refused.load(), 0);
}

void TestSessionBus::largeSelectionIsAnsweredAtOnce()
{
    // 5 MB: the caller has its answer before the text is laid out; the
    // translation then meets a service that is gone and says so
    const QString selection = QStringLiteral("The house is big and the garden is green.\n").repeated(125000);
    QGuiApplication::clipboard()->setText(selection);
    m_first.reset();
    qputenv("LINGUARO_SERVICE_URL",
            QStringLiteral("http://127.0.0.1:%1/translate").arg(AppFixture::closedPort()).toUtf8());
    {
        FirstProgram first;
        QCOMPARE(first.instance.role(), SingleInstance::Role::First);
        const Finished finished = runProgram({"--translate-selection"}, m_bus->address());
        QCOMPARE(finished.exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!m_fixture->prompts.errors.isEmpty(), 120000);
        QVERIFY2(m_fixture->prompts.errors.constLast().contains("Could not connect to the translation service"),
                 qPrintable(m_fixture->prompts.errors.constLast()));
        QCOMPARE(ui(first.form).sourcePane()->toPlainText().size(), selection.size());
        m_fixture->prompts.errors.clear();
    }
    qputenv("LINGUARO_SERVICE_URL", m_service->endpoint().toUtf8());
    m_first = std::make_unique<FirstProgram>();
    QCOMPARE(m_first->instance.role(), SingleInstance::Role::First);
    m_form = &m_first->form;
}

void TestSessionBus::twoRealProgramsMakeOneWindow()
{
    PrivateSessionBus bus;
    QVERIFY(!bus.address().isEmpty());
    QDBusConnection watcher = QDBusConnection::connectToBus(bus.address(), QStringLiteral("watcher"));
    auto owned = [&] { return watcher.interface()->isServiceRegistered(DesktopBus::ServiceName).value(); };

    QProcess first;
    first.setProcessEnvironment(programEnvironment(bus.address()));
    first.setProcessChannelMode(QProcess::ForwardedChannels);
    first.start(Program, {});
    QTRY_VERIFY_WITH_TIMEOUT(owned() || first.state() == QProcess::NotRunning, 30000);
    QCOMPARE(first.state(), QProcess::Running);
    const QString owner = watcher.interface()->serviceOwner(DesktopBus::ServiceName);

    QCOMPARE(runProgram({}, bus.address()).exitCode, 0);
    // the request reached the first program: only its empty clipboard can say this
    const Finished selection = runProgram({"--translate-selection"}, bus.address());
    QCOMPARE(selection.exitCode, 1);
    QVERIFY2(selection.errors.contains(BusWindow::NothingSelected), qPrintable(selection.errors));
    QCOMPARE(first.state(), QProcess::Running);
    QCOMPARE(watcher.interface()->serviceOwner(DesktopBus::ServiceName).value(), owner);

    ::kill(pid_t(first.processId()), SIGTERM);
    QVERIFY(first.waitForFinished(30000));
    QCOMPARE(first.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!owned(), 10000);
    QDBusConnection::disconnectFromBus(QStringLiteral("watcher"));
}

// A program that asks for a translation and leaves the bus before the answer:
// its translation, waiting on a service that never answers, stops at once.
void TestSessionBus::callerThatLeavesStopsItsTranslation()
{
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    qputenv("LINGUARO_SERVICE_URL", QStringLiteral("http://127.0.0.1:%1/translate").arg(silent.serverPort()).toUtf8());
    {
        QDBusConnection leaving = QDBusConnection::connectToBus(m_bus->address(), QStringLiteral("leaving"));
        QVERIFY(leaving.isConnected());
        QDBusMessage message = QDBusMessage::createMethodCall(DesktopBus::ServiceName, DesktopBus::ObjectPath,
                                                              DesktopBus::Interface, QStringLiteral("Translate"));
        message.setArguments({QStringLiteral("The house is big."), "en", "es"});
        leaving.asyncCall(message, 600000);
        QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingConnections(), 30000);
        QCOMPARE(m_first->bus.translationsUnderWay(), 1);
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("leaving"));
    QTRY_COMPARE(m_first->bus.translationsUnderWay(), 0);
    qputenv("LINGUARO_SERVICE_URL", m_service->endpoint().toUtf8());
}

void TestSessionBus::busGoneMidCall()
{
    const QString text = QStringLiteral("The house is big and the garden is green. ").repeated(4000);
    QDBusMessage message = QDBusMessage::createMethodCall(DesktopBus::ServiceName, DesktopBus::ObjectPath,
                                                          DesktopBus::Interface, QStringLiteral("Translate"));
    message.setArguments({text, "en", "es"});
    QDBusPendingCall pending = m_client.asyncCall(message, 600000);
    QDBusPendingCallWatcher watcher(pending);
    QSignalSpy finished(&watcher, &QDBusPendingCallWatcher::finished);
    m_bus->stop();
    QVERIFY(pending.isFinished() || finished.wait(30000));
    QVERIFY(pending.isError());
    QCOMPARE(pending.error().type(), QDBusError::Disconnected);

    // the window goes on without a bus
    QVERIFY(translateInWindow(QStringLiteral("The dog.")).contains("perro"));
}

QTEST_MAIN(TestSessionBus)
#include "test_session_bus.moc"
