#include "CharacterCore.h"
#include "CharacterWindow.h"
#include "InstalledAgent.h"
#include "ManualAgentClock.h"
#include "CharacterStage.h"

#include <QApplication>
#include <QDir>
#include <QSignalSpy>
#include <QContextMenuEvent>
#include <QMenu>
#include <QPointer>
#include <QTest>

namespace {

// Merlin loaded and shown on a clock of the test's own, every event written down.
struct Fixture {
    InstalledAgent windows;
    ManualAgentClock clock;
    CharacterStage agent{nullptr, &clock};
    QStringList events;
    AgentCharacter* merlin = nullptr;
    CharacterCore* core = nullptr;
    CharacterWindow* window = nullptr;

    Fixture()
    {
        windows.install(QStringLiteral("Merlin"));
        agent.OnCommand = [this](const AgentUserInput& input) {
            events << "command " + input.CharacterID + ' ' + input.Name;
        };
        agent.OnDblClick = [this](const QString& id) { events << "dblclick " + id; };
        agent.OnIdleStart = [this](const QString& id) { events << "idle " + id; };
        agent.setConnected(true);
        agent.load(QStringLiteral("Merlin"), QStringLiteral("Merlin.acs"));
        merlin = agent.character(QStringLiteral("Merlin"));
        core = agent.core(QStringLiteral("Merlin"));
        window = agent.window(QStringLiteral("Merlin"));
    }
    // The middle of the figure's face, and a point of the window beside the figure.
    QPoint onFigure() const { return window->figureRect().topLeft() + QPoint(68, 70); }
    QPoint besideFigure() const { return window->figureRect().topLeft() + QPoint(4, 20); }
    void contextMenu(QPoint at)
    {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, window->mapToGlobal(at));
        QApplication::sendEvent(window, &event);
    }
};

}  // namespace

class TestCharacterWindow : public QObject {
    Q_OBJECT
private slots:
    void windowTakesClicksOnlyOnTheFigure();
    void commandsAndEventsFromTheUser();
    void glidesAndIsDragged();
    void unloadedFromItsOwnEvent();
    void speaksInAnInstalledVoice();
};

void TestCharacterWindow::windowTakesClicksOnlyOnTheFigure()
{
    Fixture f;
    const Qt::WindowFlags flags = f.window->windowFlags();
    QVERIFY(flags.testFlag(Qt::Tool));
    QVERIFY(flags.testFlag(Qt::FramelessWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowStaysOnTopHint));
    QVERIFY(f.window->testAttribute(Qt::WA_TranslucentBackground));
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Merlin"));

    QVERIFY(!f.window->isVisible());
    f.merlin->show(false);
    QVERIFY(f.window->isVisible());
    f.clock.advance(2000);

    // the shape is the figure's opaque pixels
    const QRegion shape = f.window->inputRegion();
    QCOMPARE(f.window->mask(), shape);
    QVERIFY(shape.contains(f.onFigure()));
    QVERIFY(!shape.contains(f.besideFigure()));
    QVERIFY(f.window->figureRect().contains(shape.boundingRect()));
    const QImage& frame = f.core->currentFrame();
    for (const QPoint& p : {QPoint(68, 140), QPoint(2, 2), QPoint(130, 100), QPoint(40, 60)}) {
        const bool opaque = qAlpha(frame.pixel(p)) >= CharacterWindow::OpaqueAlpha;
        QCOMPARE(shape.contains(f.window->figureRect().topLeft() + p), opaque);
    }

    // a balloon joins the shape while the character speaks, and leaves with it
    f.merlin->speak(QStringLiteral("Hello everybody, I am Merlin!"));
    f.clock.advance(0);
    QVERIFY(!f.window->balloonRect().isEmpty());
    QVERIFY(f.window->inputRegion().contains(f.window->balloonRect().center()));
    QVERIFY(f.window->balloonRect().bottom() < f.window->figureRect().top());
    QVERIFY(f.window->rect().contains(f.window->balloonRect()));
    f.merlin->stop();
    QVERIFY(f.window->balloonRect().isEmpty());
    QCOMPARE(f.window->inputRegion(), shape);

    // clicks beside the figure are not the character's
    QTest::mouseDClick(f.window, Qt::LeftButton, {}, f.besideFigure());
    f.contextMenu(f.besideFigure());
    QVERIFY(!f.window->commandMenu());
    QCOMPARE(f.events, QStringList());
}

void TestCharacterWindow::commandsAndEventsFromTheUser()
{
    Fixture f;
    f.merlin->show(true);
    f.merlin->addCommand(QStringLiteral("USEnglish"), QStringLiteral("&English(US)"), 1, 1, true);
    f.merlin->addCommand(QStringLiteral("French"), QStringLiteral("&Francais"), 1, 1, true);
    f.merlin->addCommand(QStringLiteral("Hidden"), QStringLiteral("&Hidden"), 1, 1, false);
    f.merlin->addCommand(QStringLiteral("Korean"), QStringLiteral("&Korean"), 1, 0, true);
    f.merlin->addCommand(QStringLiteral("French"), QStringLiteral("&French"), 1, 1, true);  // replaces the first

    f.contextMenu(f.onFigure());
    QMenu* menu = f.window->commandMenu();
    QVERIFY(menu);
    QVERIFY(menu->isVisible());
    QStringList captions;
    for (QAction* action : menu->actions())
        captions << action->text() + (action->isEnabled() ? "" : " (off)");
    QCOMPARE(captions, QStringList({"&English(US)", "&French", "&Korean (off)"}));
    // the command reaches its handler once the menu is done with the click: the handler may wait
    // with the event loop running, and the menu goes meanwhile
    menu->actions().at(1)->trigger();
    QCOMPARE(f.events, QStringList());
    QTRY_COMPARE(f.events, QStringList{"command Merlin French"});

    // a double-click in the middle of a long speech: the window says so, the handler stops him
    f.agent.OnDblClick = [&](const QString& id) {
        f.events << "dblclick " + id;
        f.agent.character(id)->stop();
    };
    f.merlin->speak(QString(400, u'a').replace(QStringLiteral("aaaa"), QStringLiteral("aaa ")));
    f.clock.advance(2000);
    QVERIFY(f.core->balloonVisible());
    QTest::mouseDClick(f.window, Qt::LeftButton, {}, f.onFigure());
    QTRY_COMPARE(f.events.last(), QStringLiteral("dblclick Merlin"));
    QVERIFY(!f.core->balloonVisible());
    QCOMPARE(f.core->activity(), CharacterCore::Activity::Idle);

    f.clock.advance(CharacterCore::IdleDelay);
    QCOMPARE(f.events.last(), QStringLiteral("idle Merlin"));
}

void TestCharacterWindow::glidesAndIsDragged()
{
    Fixture f;
    f.merlin->show(true);
    f.merlin->moveTo(300, 200, 1000);
    // the window glides on its own timer; the core's clock says when the move is over
    QTRY_COMPARE(f.window->pos(), f.window->windowPositionFor(QPoint(300, 200)));
    f.clock.advance(1000);
    QCOMPARE(f.core->activity(), CharacterCore::Activity::Idle);

    f.merlin->moveTo(10, 20, 0);
    QCOMPARE(f.window->pos(), f.window->windowPositionFor(QPoint(10, 20)));

    const QPoint grip = f.onFigure();
    QTest::mousePress(f.window, Qt::LeftButton, {}, grip);
    QTest::mouseMove(f.window, grip + QPoint(40, 30));
    QTest::mouseRelease(f.window, Qt::LeftButton, {}, grip + QPoint(40, 30));
    QCOMPARE(f.core->position(), QPoint(50, 50));
    QCOMPARE(f.window->pos(), f.window->windowPositionFor(QPoint(50, 50)));
}

void TestCharacterWindow::unloadedFromItsOwnEvent()
{
    Fixture f;
    f.merlin->show(true);
    f.merlin->speak(QStringLiteral("One two three four"));
    // switching characters from the character's own menu unloads it inside its event
    f.agent.OnCommand = [&](const AgentUserInput& input) { f.agent.unload(input.CharacterID); };
    f.merlin->addCommand(QStringLiteral("Peedy"), QStringLiteral("&Peedy"), 1, 1, true);
    f.contextMenu(f.onFigure());
    const QPointer<CharacterWindow> window = f.window;
    f.window->commandMenu()->actions().first()->trigger();
    QCoreApplication::sendPostedEvents();
    QVERIFY_THROWS_EXCEPTION(AgentError, f.agent.character(QStringLiteral("Merlin")));
    QVERIFY(!f.agent.window(QStringLiteral("Merlin")));
    QVERIFY(!window->isVisible());
    // the window goes once control is back in the event loop, and the core after it
    QTRY_VERIFY(!window);
    f.clock.advance(10000);  // nothing of it is left to run
}

void TestCharacterWindow::speaksInAnInstalledVoice()
{
    // French is installed, English is not; speech runs on the silent clock at its real pace
    InstalledAgent windows;
    windows.install(QStringLiteral("Merlin"));
    QDir(windows.dir.path()).mkpath(QStringLiteral("Speech/Engines"));
    for (const char* file : {"Speech/Speech.dll", "Speech/Engines/LHTTSFRF"}) {
        QFile installed(windows.dir.filePath(QLatin1String(file)));
        QVERIFY(installed.open(QIODevice::WriteOnly));
    }
    QTemporaryDir wavs;
    qputenv("LINGUARO_SPEECH_OUTPUT", "silent");
    qputenv("LINGUARO_SPEECH_DIR", wavs.path().toUtf8());
    CharacterStage agent;
    agent.setConnected(true);
    agent.load(QStringLiteral("Merlin"), QStringLiteral("Merlin.acs"));
    qunsetenv("LINGUARO_SPEECH_OUTPUT");
    qunsetenv("LINGUARO_SPEECH_DIR");
    AgentCharacter* merlin = agent.character(QStringLiteral("Merlin"));
    CharacterCore* core = agent.core(QStringLiteral("Merlin"));
    merlin->show(true);

    QStringList shown;
    connect(core, &CharacterCore::balloonChanged, this, [&] {
        if (!core->balloonText().isEmpty() && (shown.isEmpty() || shown.last() != core->balloonText()))
            shown << core->balloonText();
    });
    merlin->setLanguageId(1036);
    merlin->speak(QStringLiteral("Bonjour, je parle beaucoup."));
    QTRY_COMPARE_WITH_TIMEOUT(core->activity(), CharacterCore::Activity::Idle, 15000);
    // word by word as the engine says them, and a sound file of it
    QCOMPARE(shown, QStringList({"Bonjour,", "Bonjour, je", "Bonjour, je parle", "Bonjour, je parle beaucoup."}));
    QCOMPARE(QDir(wavs.path()).entryList({QStringLiteral("*.wav")}).size(), 1);

    // cut short in the middle, then on to the next text
    QString longText;
    for (int i = 0; i < 200; ++i)
        longText += QStringLiteral("Je parle encore. ");
    merlin->speak(longText);
    QTRY_VERIFY_WITH_TIMEOUT(core->balloonText().count(u' ') >= 2, 15000);
    merlin->stop();
    QVERIFY(!core->balloonVisible());
    shown.clear();
    merlin->setLanguageId(1033);  // not installed: shown without sound
    merlin->speak(QStringLiteral("Hello there"));
    QTRY_COMPARE_WITH_TIMEOUT(core->activity(), CharacterCore::Activity::Idle, 15000);
    QCOMPARE(shown, QStringList({"Hello", "Hello there"}));
    QCOMPARE(QDir(wavs.path()).entryList({QStringLiteral("*.wav")}).size(), 2);
}

QTEST_MAIN(TestCharacterWindow)
#include "test_character_window.moc"
