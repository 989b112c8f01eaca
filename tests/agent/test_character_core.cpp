#include "BalloonText.h"
#include "CharacterCore.h"
#include "ManualAgentClock.h"
#include "SilentSpeech.h"
#include "TestCharacter.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// Speech that sounds in French only, driven by the test as a speech engine
// would drive it: it says when each word starts and when it has finished.
class FrenchSpeech final : public SpeechOutput {
public:
    struct Utterance {
        quint64 id;
        QString text;
        int languageId;
        QString ttsModeId;
    };
    std::vector<Utterance> spoken;
    int stops = 0;

    bool canSpeak(int languageId) const override { return languageId == 1036; }
    void speak(quint64 utterance, const QString& text, int languageId, const QString& ttsModeId) override
    {
        spoken.push_back({utterance, text, languageId, ttsModeId});
    }
    void stop() override { ++stops; }
};

const char* activityName(CharacterCore::Activity activity)
{
    switch (activity) {
    case CharacterCore::Activity::Idle:
        return "idle";
    case CharacterCore::Activity::Playing:
        return "playing";
    case CharacterCore::Activity::Speaking:
        return "speaking";
    case CharacterCore::Activity::Moving:
        return "moving";
    }
    return "?";
}

// What the character is doing, each change once, while the clock runs in 10 ms steps.
QStringList trace(CharacterCore& core, ManualAgentClock& clock, int milliseconds)
{
    QStringList seen;
    for (int t = 0; t <= milliseconds; t += 10) {
        const QString now =
            QStringLiteral("%1 %2").arg(activityName(core.activity()), core.currentAnimation()).trimmed();
        if (seen.isEmpty() || seen.last() != now)
            seen << now;
        clock.advance(10);
    }
    return seen;
}

}  // namespace

class TestCharacterCore : public QObject {
    Q_OBJECT
private slots:
    void requestsRunInOrderOneAtATime();
    void stopEmptiesTheQueueAndSilencesSpeech();
    void animationsByNameWithoutRegardToCase();
    void animationsFromTheFileCannotRunForEver();
    void moveToGlidesToTheTarget();
    void balloonRevealsWordByWordAtReadingPace();
    void speechThatSoundsFollowsTheEnginesWords();
    void languageAndSpeechModeRoundTrip_data();
    void languageAndSpeechModeRoundTrip();
    void balloonPagesOfALongText_data();
    void balloonPagesOfALongText();
    void idleStartsOnceWhileNothingIsAsked();
};

void TestCharacterCore::requestsRunInOrderOneAtATime()
{
    ManualAgentClock clock;
    CharacterCore core(testCharacter(), clock);
    core.show(false);
    core.play(QStringLiteral("Wave"));
    core.moveTo(100, 50, 500);
    core.speak(QStringLiteral("Hi there"));
    core.play(QStringLiteral("Think"));
    // every call returned at once; the first request is under way, the others wait
    QVERIFY(core.isVisible());
    QCOMPARE(core.queueLength(), 4);

    const QStringList expected{QStringLiteral("playing Show"),  QStringLiteral("playing Wave"),
                               QStringLiteral("moving"),        QStringLiteral("speaking Speak"),
                               QStringLiteral("playing Think"), QStringLiteral("idle")};
    QCOMPARE(trace(core, clock, 5000), expected);
    QCOMPARE(core.position(), QPoint(100, 50));

    // Hide plays its animation and then leaves the screen
    QSignalSpy visibility(&core, &CharacterCore::visibleChanged);
    core.hide(false);
    QVERIFY(core.isVisible());
    clock.advance(200);
    QVERIFY(!core.isVisible());
    QCOMPARE(visibility.count(), 1);
    core.show(true);  // fast: at once, without its animation
    QVERIFY(core.isVisible());
    QCOMPARE(core.activity(), CharacterCore::Activity::Idle);
}

void TestCharacterCore::stopEmptiesTheQueueAndSilencesSpeech()
{
    ManualAgentClock clock;
    FrenchSpeech french;
    CharacterCore core(testCharacter(), clock, &french);
    core.show(true);

    // silent speech: a long text, cut after a few words
    QString longText;
    for (int i = 0; i < 2000; ++i)
        longText += QStringLiteral("word%1 ").arg(i);
    core.speak(longText);
    core.play(QStringLiteral("Wave"));
    core.speak(QStringLiteral("never said"));
    clock.advance(1500);
    QVERIFY(core.balloonText().startsWith(QStringLiteral("word0 word1")));
    core.stop();
    QCOMPARE(core.queueLength(), 0);
    QCOMPARE(core.activity(), CharacterCore::Activity::Idle);
    QVERIFY(!core.balloonVisible());
    QCOMPARE(core.currentAnimation(), QString());
    clock.advance(5000);  // no word comes after the stop
    QVERIFY(!core.balloonVisible());

    // speech that sounds is told to stop, and what its engine still reports is ignored
    core.setLanguageId(1036);
    core.speak(QStringLiteral("Bonjour tout le monde"));
    core.play(QStringLiteral("Think"));
    QCOMPARE(french.spoken.size(), size_t(1));
    const quint64 cut = french.spoken.back().id;
    emit french.wordStarted(cut, 0, 7);
    core.stop();
    QCOMPARE(french.stops, 1);
    emit french.wordStarted(cut, 8, 4);
    emit french.finished(cut, QString());
    QVERIFY(!core.balloonVisible());
    QCOMPARE(core.activity(), CharacterCore::Activity::Idle);

    // the character takes new requests after a stop
    core.play(QStringLiteral("Wave"));
    QCOMPARE(core.currentAnimation(), QStringLiteral("Wave"));
}

void TestCharacterCore::animationsByNameWithoutRegardToCase()
{
    ManualAgentClock clock;
    CharacterCore core(testCharacter(), clock);
    core.show(true);
    // a name the character does not have is skipped; the next request starts at once
    core.play(QStringLiteral("Dance"));
    core.play(QStringLiteral("tHiNk"));
    QCOMPARE(core.currentAnimation(), QStringLiteral("Think"));
    QCOMPARE(core.queueLength(), 0);
    QCOMPARE(core.currentImage(), 7);
    clock.advance(200);
    QCOMPARE(core.activity(), CharacterCore::Activity::Idle);
    QCOMPARE(core.currentImage(), 0);  // back at rest
}

void TestCharacterCore::animationsFromTheFileCannotRunForEver()
{
    ManualAgentClock clock;
    CharacterCore core(testCharacter(), clock);
    core.show(true);
    // a frame that branches to itself every time, and two animations that lead on to each other
    core.play(QStringLiteral("Loop"));
    core.play(QStringLiteral("Ping"));
    core.play(QStringLiteral("Wave"));
    clock.advance(CharacterCore::MaxAnimationTime - 100);
    QCOMPARE(core.currentAnimation(), QStringLiteral("Loop"));
    clock.advance(200);
    QCOMPARE(core.currentAnimation(), QStringLiteral("Ping"));
    clock.advance(50 * (CharacterCore::MaxChain + 1));
    QCOMPARE(core.currentAnimation(), QStringLiteral("Wave"));
}

void TestCharacterCore::moveToGlidesToTheTarget()
{
    ManualAgentClock clock;
    CharacterCore core(testCharacter(), clock);
    core.setPosition(QPoint(0, 0));
    QSignalSpy started(&core, &CharacterCore::moveStarted);
    QSignalSpy placed(&core, &CharacterCore::positionChanged);

    core.moveTo(200, 100, 1000);
    QCOMPARE(core.activity(), CharacterCore::Activity::Moving);
    QCOMPARE(started.count(), 1);
    QCOMPARE(started.at(0).at(0).toPoint(), QPoint(0, 0));
    QCOMPARE(started.at(0).at(1).toPoint(), QPoint(200, 100));
    QCOMPARE(started.at(0).at(2).toInt(), 1000);
    clock.advance(500);
    QCOMPARE(core.position(), QPoint(100, 50));  // half-way at half time
    clock.advance(500);
    QCOMPARE(core.position(), QPoint(200, 100));
    QCOMPARE(placed.last().at(0).toPoint(), QPoint(200, 100));
    QCOMPARE(core.activity(), CharacterCore::Activity::Idle);

    // 16-bit coordinates off the top left of the screen; speed 0 is at once
    core.moveTo(-100, -5, 0);
    QCOMPARE(core.position(), QPoint(-100, -5));

    // a stop during a glide leaves the figure where it was
    core.moveTo(300, -5, 1000);
    clock.advance(500);
    core.stop();
    QCOMPARE(core.position(), QPoint(100, -5));
    QCOMPARE(placed.last().at(0).toPoint(), QPoint(100, -5));
    clock.advance(1000);
    QCOMPARE(core.position(), QPoint(100, -5));
}

void TestCharacterCore::balloonRevealsWordByWordAtReadingPace()
{
    ManualAgentClock clock;
    CharacterCore core(testCharacter(), clock);
    core.show(true);
    const QString text = QStringLiteral("Hello everybody, I am Merlin!");
    QSignalSpy changes(&core, &CharacterCore::balloonChanged);
    core.speak(text);
    QVERIFY(core.balloonVisible());
    QCOMPARE(core.balloonText(), QString());

    const QStringList words = text.split(u' ');
    QStringList shown;
    int position = 0;
    for (const QString& word : words) {
        clock.advance(0);
        shown << word;
        QCOMPARE(core.balloonText(), shown.join(u' '));
        QCOMPARE(core.currentAnimation(), QStringLiteral("Speak"));  // the mouth moves with each word
        const int time = SilentSpeech::readingTime(text, position, int(word.size()));
        // the next word waits for this one's time
        clock.advance(time - 1);
        QCOMPARE(core.balloonText(), shown.join(u' '));
        clock.advance(1);
        position += int(word.size()) + 1;
    }
    // spoken out: the whole text stays a while, then the balloon goes
    QCOMPARE(core.activity(), CharacterCore::Activity::Idle);
    QVERIFY(core.balloonVisible());
    QCOMPARE(core.balloonText(), text);
    clock.advance(CharacterCore::BalloonLinger);
    QVERIFY(!core.balloonVisible());
    QVERIFY(changes.count() >= words.size() + 1);

    // an empty text is no request at all
    core.speak(QStringLiteral("  "));
    QCOMPARE(core.activity(), CharacterCore::Activity::Idle);
    QVERIFY(!core.balloonVisible());
}

void TestCharacterCore::speechThatSoundsFollowsTheEnginesWords()
{
    ManualAgentClock clock;
    FrenchSpeech french;
    CharacterCore core(testCharacter(), clock, &french);
    core.show(true);
    core.setLanguageId(1036);
    core.setTtsModeId(QStringLiteral("{CA141FD0-AC7F-11D1-97A3-006008273000}"));
    core.speak(QStringLiteral("Bonjour, je parle."));
    // the language changes before the next text: each text keeps the voice it was given
    core.setLanguageId(1033);
    core.speak(QStringLiteral("Hello there"));
    QCOMPARE(french.spoken.size(), size_t(1));
    QCOMPARE(french.spoken[0].text, QStringLiteral("Bonjour, je parle."));
    QCOMPARE(french.spoken[0].languageId, 1036);
    QCOMPARE(french.spoken[0].ttsModeId, QStringLiteral("{CA141FD0-AC7F-11D1-97A3-006008273000}"));

    // the balloon waits for the engine, however long the clock runs
    clock.advance(3000);
    QCOMPARE(core.balloonText(), QString());
    const quint64 id = french.spoken[0].id;
    emit french.wordStarted(id, 0, 7);
    QCOMPARE(core.balloonText(), QStringLiteral("Bonjour,"));
    emit french.wordStarted(id, 12, 6);
    QCOMPARE(core.balloonText(), QStringLiteral("Bonjour, je parle."));
    emit french.wordStarted(id + 1000, 0, 3);  // not this utterance
    QCOMPARE(core.balloonText(), QStringLiteral("Bonjour, je parle."));
    emit french.finished(id, QString());

    // English does not sound here: the next text goes to the silent reader
    QCOMPARE(core.activity(), CharacterCore::Activity::Speaking);
    clock.advance(0);
    QCOMPARE(core.balloonText(), QStringLiteral("Hello"));
    QCOMPARE(french.spoken.size(), size_t(1));
}

void TestCharacterCore::languageAndSpeechModeRoundTrip_data()
{
    QTest::addColumn<int>("languageId");
    QTest::addColumn<QString>("mode");
    QTest::newRow("American English") << 1033 << QString();
    QTest::newRow("British English") << 2057 << QStringLiteral("{227A0E40-A92A-11d1-B17B-0020AFED142E}");
    QTest::newRow("Japanese") << 1041 << QStringLiteral("{CA141FD0-AC7F-11D1-97A3-006008273002}");
    QTest::newRow("no such language") << 65535 << QStringLiteral("not a GUID");
}

void TestCharacterCore::languageAndSpeechModeRoundTrip()
{
    QFETCH(int, languageId);
    QFETCH(QString, mode);
    ManualAgentClock clock;
    CharacterCore core(testCharacter(), clock);
    QCOMPARE(core.languageId(), 1033);
    core.setLanguageId(languageId);
    core.setTtsModeId(mode);
    QCOMPARE(core.languageId(), languageId);
    QCOMPARE(core.ttsModeId(), mode);
}

void TestCharacterCore::balloonPagesOfALongText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("pages");  // the balloon after each word
    QTest::newRow("fits on one page") << QStringLiteral("one two three")
                                      << QStringList{"one", "one two", "one two three"};
    QTest::newRow("turns the page") << QStringLiteral("alpha beta gamma delta epsilon")
                                    << QStringList{"alpha", "alpha beta", "alpha beta gamma", "delta", "delta epsilon"};
    QTest::newRow("punctuation sticks") << QStringLiteral("Yes! (Really?) no...")
                                        << QStringList{"Yes!", "Yes! (Really?)", "Yes! (Really?) no..."};
    QTest::newRow("a word longer than two pages shows its end")
        << QStringLiteral("a ") + QString(50, u'x') << QStringList{"a", QString(40, u'x')};
}

void TestCharacterCore::balloonPagesOfALongText()
{
    QFETCH(QString, text);
    QFETCH(QStringList, pages);
    BalloonText balloon(20);
    balloon.start(text);
    QVERIFY(balloon.isEmpty());
    QStringList seen;
    for (int start = 0; start < text.size();) {
        while (start < text.size() && !text[start].isLetter())
            ++start;
        int end = start;
        while (end < text.size() && text[end].isLetter())
            ++end;
        if (end == start)
            break;
        balloon.reveal(start, end - start);
        seen << balloon.page();
        start = end;
    }
    QCOMPARE(seen, pages);
    // a word reported again, or out of order, changes nothing
    balloon.reveal(0, 1);
    QCOMPARE(balloon.page(), pages.last());
}

void TestCharacterCore::idleStartsOnceWhileNothingIsAsked()
{
    ManualAgentClock clock;
    CharacterCore core(testCharacter(), clock);
    QSignalSpy idle(&core, &CharacterCore::idleStarted);
    clock.advance(3 * CharacterCore::IdleDelay);
    QCOMPARE(idle.count(), 0);  // not while hidden

    core.show(false);
    clock.advance(200);
    clock.advance(CharacterCore::IdleDelay - 1);
    QCOMPARE(idle.count(), 0);
    clock.advance(1);
    QCOMPARE(idle.count(), 1);
    QCOMPARE(core.currentAnimation(), QStringLiteral("Idle1"));  // something of its own
    QCOMPARE(core.activity(), CharacterCore::Activity::Idle);
    clock.advance(100);
    QCOMPARE(core.currentAnimation(), QString());
    clock.advance(5 * CharacterCore::IdleDelay);
    QCOMPARE(idle.count(), 1);  // one idle time, one event

    // a request ends the idle time; the next one is announced again
    core.play(QStringLiteral("Think"));
    QCOMPARE(core.currentAnimation(), QStringLiteral("Think"));
    clock.advance(200 + CharacterCore::IdleDelay);
    QCOMPARE(idle.count(), 2);
}

QTEST_GUILESS_MAIN(TestCharacterCore)
#include "test_character_core.moc"
