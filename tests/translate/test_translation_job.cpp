// The translation job against a loopback test service that answers and
// misbehaves on request, and against the real service program.
#include "TranslationJob.h"

#include "HistoryMemory.h"
#include "HistoryRecorder.h"
#include "LoopbackService.h"
#include "ServiceExchange.h"
#include "ServiceProcess.h"

#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(TranslationResult::Check)

namespace {

QString outcomeName(TranslationResult::Outcome outcome)
{
    switch (outcome) {
    case TranslationResult::Outcome::Done:
        return QStringLiteral("done");
    case TranslationResult::Outcome::Refused:
        return QStringLiteral("refused");
    case TranslationResult::Outcome::Stopped:
        return QStringLiteral("stopped");
    case TranslationResult::Outcome::Failed:
        return QStringLiteral("failed");
    }
    return {};
}

// One job and everything it said, in order.
struct Run {
    explicit Run(const TranslationRequest& request) : job(Translator::start(request))
    {
        QObject::connect(job.get(), &TranslationJob::started, job.get(),
                         [this](const QString& text) { events << "started:" + text; });
        QObject::connect(job.get(), &TranslationJob::progress, job.get(),
                         [this](int, int, const QString& text) { events << "progress:" + text; });
        QObject::connect(job.get(), &TranslationJob::paragraph, job.get(), [this](int chunk, const QString& text) {
            QCOMPARE(chunk, paragraphs.size());
            paragraphs << text;
            events << "paragraph:" + text;
        });
        QObject::connect(job.get(), &TranslationJob::finished, job.get(), [this](const TranslationResult& r) {
            ++finishes;
            result = r;
            events << "finished:" + outcomeName(r.outcome);
        });
    }
    bool finish()
    {
        return QTest::qWaitFor([this] { return finishes > 0; }, 120000) && finishes == 1;
    }
    QStringList percents() const
    {
        QStringList seen;
        for (const QString& event : events)
            if (event.startsWith("progress:"))
                seen << event.section('[', 1).section('%', 0, 0);
        return seen;
    }

    std::unique_ptr<TranslationJob> job;
    QStringList events;
    QStringList paragraphs;
    TranslationResult result;
    int finishes = 0;
};

TranslationRequest english(const QString& text, const QString& endpoint, const QString& to = "FR",
                           const QString& toName = "French")
{
    TranslationRequest request;
    request.text = text;
    request.sourceCode = "EN";
    request.sourceName = "English";
    request.targetCode = to;
    request.targetName = toName;
    request.endpoint = endpoint;
    return request;
}

// Lines that each fill one chunk once their line end is added.
QString fullChunks(const QStringList& starts)
{
    QStringList lines;
    for (const QString& start : starts)
        lines << start + QString(2998 - start.size(), start.back());
    return lines.join('\n');
}

}  // namespace

class TestTranslationJob : public QObject {
    Q_OBJECT

private slots:
    void refusesBeforeSendingAnything_data();
    void refusesBeforeSendingAnything();
    void oneChunkFromStartToDone();
    void twoSpacesAreSentAsABareLineEnd();
    void handsChunksOnInOrderWhenALaterOneAnswersFirst();
    void aFailedChunkEndsTheRunAfterThoseBeforeIt_data();
    void aFailedChunkEndsTheRunAfterThoseBeforeIt();
    void cancelEndsARequestUnderWay();
    void requestsGoThroughTheProxy();
    void realServiceGivesTheSameTextWithChunksInFlight();
    void realServiceRefusesAPairItCannotReach();
    void realServiceThatDiesMidRun();
    void realServiceTakesKnownSentencesFromTheMemory();
    void serviceNamingNoVersionIsAlwaysAsked();
    void sentencesNotComingBackApartSendTheChunkWhole();

private:
    LoopbackService m_service;
};

void TestTranslationJob::refusesBeforeSendingAnything_data()
{
    using Check = TranslationResult::Check;
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("target");
    QTest::addColumn<Check>("check");
    QTest::addColumn<QString>("message");
    const QString nothing = "Nothing to translate!";
    const QString same = "ERROR: Source language is the same as the destination language!";
    QTest::newRow("empty") << ""
                           << "EN"
                           << "FR" << Check::NothingToTranslate << nothing;
    QTest::newRow("one space") << " "
                               << ""
                               << "" << Check::NothingToTranslate << nothing;
    QTest::newRow("one line break") << "\n"
                                    << "EN"
                                    << "FR" << Check::NothingToTranslate << nothing;
    QTest::newRow("one paragraph separator") << QString(QChar(0x2029)) << "EN"
                                             << "FR" << Check::NothingToTranslate << nothing;
    QTest::newRow("no source") << "Hello"
                               << ""
                               << "FR" << Check::NoSourceLanguage << "ERROR: Please select the source language!";
    QTest::newRow("neither") << "Hello"
                             << ""
                             << "" << Check::NoSourceLanguage << "ERROR: Please select the source language!";
    QTest::newRow("no target") << "Hello"
                               << "EN"
                               << "" << Check::NoTargetLanguage << "ERROR: Please select the destination language!";
    QTest::newRow("same") << "Hello"
                          << "NL"
                          << "nl" << Check::SameLanguages << same;
}

void TestTranslationJob::refusesBeforeSendingAnything()
{
    QFETCH(QString, text);
    QFETCH(QString, source);
    QFETCH(QString, target);
    QFETCH(TranslationResult::Check, check);
    QFETCH(QString, message);
    const size_t before = m_service.requests().size();
    TranslationRequest request = english(text, m_service.qurl("/translate"));
    request.sourceCode = source;
    request.targetCode = target;
    Run run(request);
    QVERIFY(run.finish());
    QCOMPARE(run.events, QStringList{"finished:refused"});
    QCOMPARE(run.result.check, check);
    QCOMPARE(run.result.message, message);
    QVERIFY(!run.result.reason().startsWith("ERROR"));
    QVERIFY(message.endsWith(run.result.reason()));
    QCOMPARE(m_service.requests().size(), before);
}

void TestTranslationJob::oneChunkFromStartToDone()
{
    Run run(english("Salt & pepper\n   \nBye", m_service.qurl("/translate"), "ZH-TW", "Chinese(T)"));
    QVERIFY(run.finish());
    QCOMPARE(run.events, (QStringList{"started:Translating English to Chinese(T) ...",
                                      "progress:Translating from English to Chinese(T)... [0% Completed]",
                                      "paragraph:zh-tw:Salt & pepper  Bye ", "finished:done"}));
    const auto requests = m_service.requests();
    QCOMPARE(requests.size(), 1u);
    QCOMPARE(requests[0].param("q"), "Salt & pepper\r\n\r\nBye\r\n");
    QCOMPARE(requests[0].param("from"), "en");
    QCOMPARE(requests[0].param("to"), "zh-tw");
}

void TestTranslationJob::twoSpacesAreSentAsABareLineEnd()
{
    const size_t before = m_service.requests().size();
    Run run(english("  ", m_service.qurl("/translate")));
    QVERIFY(run.finish());
    QCOMPARE(run.result.outcome, TranslationResult::Outcome::Done);
    QCOMPARE(m_service.requests().size(), before + 1);
    QCOMPARE(m_service.requests().back().param("q"), "\r\n");
}

void TestTranslationJob::handsChunksOnInOrderWhenALaterOneAnswersFirst()
{
    // the first chunk is answered only once the third is asked for, which the
    // job can only do after the second came back
    const size_t before = m_service.answerOrder().size();
    m_service.holdUntil = m_service.requests().size() + 3;
    const QStringList starts{"HOLD", "b", "c", "d", "e", "f", "g", "h"};
    TranslationRequest request = english(fullChunks(starts), m_service.qurl("/translate"));
    request.chunksInFlight = 2;
    Run run(request);
    QVERIFY(run.finish());
    QCOMPARE(run.result.outcome, TranslationResult::Outcome::Done);
    QStringList expected;
    for (const QString& start : starts)
        expected << "fr:" + start + QString(2998 - start.size(), start.back()) + " ";
    QCOMPARE(run.paragraphs, expected);
    QCOMPARE(run.percents(), (QStringList{"0", "12", "25", "38", "50", "62", "75", "88"}));
    const auto answered = m_service.answerOrder();
    QCOMPARE(answered.size(), before + 8);
    QVERIFY(answered[before].rfind("b", 0) == 0);
}

void TestTranslationJob::aFailedChunkEndsTheRunAfterThoseBeforeIt_data()
{
    QTest::addColumn<QStringList>("starts");
    QTest::addColumn<QStringList>("kept");
    QTest::addColumn<QString>("lastProgress");
    QTest::newRow("second fails") << QStringList{"a", "FAIL", "c"} << QStringList{"a"} << "33";
    // the reply of the second chunk, whenever it comes, is dropped
    QTest::newRow("first fails") << QStringList{"FAIL", "b", "c"} << QStringList{} << "0";
    // the first chunk comes back after the third failed: those before the failure are still handed on
    QTest::newRow("failure told first") << QStringList{"HOLD", "b", "FAIL"} << QStringList{"HOLD", "b"} << "67";
}

void TestTranslationJob::aFailedChunkEndsTheRunAfterThoseBeforeIt()
{
    QFETCH(QStringList, starts);
    QFETCH(QStringList, kept);
    QFETCH(QString, lastProgress);
    m_service.holdUntil = m_service.requests().size() + 3;
    TranslationRequest request = english(fullChunks(starts), m_service.qurl("/translate"));
    request.chunksInFlight = 3;
    Run run(request);
    QVERIFY(run.finish());
    QCOMPARE(run.result.outcome, TranslationResult::Outcome::Failed);
    QVERIFY2(run.result.message.contains("Engine crashed"), qPrintable(run.result.message));
    QCOMPARE(run.result.reason(), run.result.message);
    QCOMPARE(run.paragraphs.size(), kept.size());
    for (qsizetype i = 0; i < kept.size(); ++i)
        QVERIFY(run.paragraphs[i].startsWith("fr:" + kept[i]));
    QCOMPARE(run.percents().last(), lastProgress);
    QCOMPARE(run.events.last(), QString("finished:failed"));
}

void TestTranslationJob::cancelEndsARequestUnderWay()
{
    Run run(english("Hello", m_service.qurl("/stall")));
    QTRY_VERIFY_WITH_TIMEOUT(!m_service.requests().empty() && m_service.requests().back().target == "/stall", 30000);
    run.job->cancel();
    // at once, not when the request gives up
    QCOMPARE(run.finishes, 1);
    QCOMPARE(run.result.outcome, TranslationResult::Outcome::Stopped);
    QCOMPARE(run.result.reason(), QString());
    run.job->cancel();
    QTest::qWait(0);
    QCOMPARE(run.finishes, 1);
    QVERIFY(run.paragraphs.isEmpty());
}

void TestTranslationJob::requestsGoThroughTheProxy()
{
    RecordingProxy recorder;
    // a service elsewhere: one on this machine would be reached without the proxy
    TranslationRequest request = english("Hello", "http://service.linguaro.test/translate");
    request.proxy = {true, "127.0.0.1", QString::number(recorder.port()), "", ""};
    Run run(request);
    QVERIFY(run.finish());
    QCOMPARE(run.paragraphs, QStringList{"via proxy"});
    QCOMPARE(recorder.requests().size(), 1u);
}

void TestTranslationJob::realServiceGivesTheSameTextWithChunksInFlight()
{
    ServiceProcess service;
    QVERIFY2(service.running(), qPrintable(service.startError()));
    QStringList sentences;
    for (int i = 0; i < 120; ++i)
        sentences << QStringLiteral("The house number %1 is big and the garden is green.").arg(i);
    const QString text = sentences.join(' ');
    QStringList results;
    for (int inFlight : {1, 3}) {
        TranslationRequest request = english(text, service.endpoint(), "ES", "Spanish");
        request.chunksInFlight = inFlight;
        Run run(request);
        QVERIFY(run.finish());
        QCOMPARE(run.result.outcome, TranslationResult::Outcome::Done);
        QCOMPARE(run.paragraphs.size(), 3);
        results << run.paragraphs.join('\n');
    }
    QVERIFY2(results[0].contains("casa"), qPrintable(results[0].left(200)));
    QCOMPARE(results[1], results[0]);
    // each number once, in its place
    qsizetype at = 0;
    for (int i = 0; i < 120; ++i) {
        const qsizetype found = results[0].indexOf(QRegularExpression(QStringLiteral("\\b%1\\b").arg(i)), at);
        QVERIFY2(found >= at, qPrintable(QString::number(i)));
        at = found;
    }
}

void TestTranslationJob::realServiceRefusesAPairItCannotReach()
{
    ServiceProcess service;
    QVERIFY2(service.running(), qPrintable(service.startError()));
    Run run(english("Hello", service.endpoint(), "JA", "Japanese"));
    QVERIFY(run.finish());
    QCOMPARE(run.result.outcome, TranslationResult::Outcome::Failed);
    QVERIFY2(run.result.message.contains("400"), qPrintable(run.result.message));
    QVERIFY(run.paragraphs.isEmpty());
}

void TestTranslationJob::realServiceThatDiesMidRun()
{
    auto service = std::make_unique<ServiceProcess>();
    QVERIFY2(service->running(), qPrintable(service->startError()));
    const QString text = QStringLiteral("The house is big and the garden is green. ").repeated(2000);
    Run run(english(text, service->endpoint(), "ES", "Spanish"));
    QObject::connect(run.job.get(), &TranslationJob::paragraph, run.job.get(), [&] {
        if (run.paragraphs.size() == 1)
            service->process().kill();
    });
    QVERIFY(run.finish());
    QCOMPARE(run.result.outcome, TranslationResult::Outcome::Failed);
    QVERIFY(!run.result.message.isEmpty());
    QVERIFY(run.paragraphs.size() >= 1 && run.paragraphs.size() < 29);
    QVERIFY(run.paragraphs.first().contains("casa"));
}

void TestTranslationJob::realServiceTakesKnownSentencesFromTheMemory()
{
    ServiceProcess service;
    QVERIFY2(service.running(), qPrintable(service.startError()));
    // how many requests the service has translated so far, as its metrics count them
    auto translated = [&service] {
        ServiceClient client(service.endpoint());
        const QString metrics = QString::fromUtf8(
            client.fetch(QString(service.endpoint()).replace("/translate", "/metrics"), ProxySettings{}));
        return QRegularExpression("\\nlinguaro_translation_seconds_count (\\d+)").match(metrics).captured(1).toInt();
    };
    auto translate = [&](const TranslationRequest& request, History* recordInto = nullptr) {
        auto run = std::make_unique<Run>(request);
        if (recordInto)
            HistoryRecorder::watch(*run->job, HistoryEntry::Origin::CommandLine, nullptr, nullptr, recordInto);
        return run;
    };
    // a paragraph whose middle sentence (behind an abbreviation) another tool translated, then a
    // line too long for one chunk, so the first chunk ends without a line break
    const QString known = "Mr. Smith sings at dawn.";
    const QString remembered = QString::fromUtf8("(memoria) El señor Smith canta al alba.");
    QStringList sentences;
    for (int i = 0; i < 80; ++i)
        sentences << QStringLiteral("The house number %1 is big and the garden is green.").arg(i);
    const QString text = "The house is big. " + known + " The dog eats bread.\n" + sentences.join(' ');

    QTemporaryDir folder;
    History history(folder.filePath("history.sqlite"));
    QVERIFY(history.addSegments([&](const History::SegmentSink& add) {
        return add({"EN", "ES", QString(), QString(), known, remembered, {}});
    }));
    TranslationRequest request = english(text, service.endpoint(), "ES", "Spanish");
    // reuse off, a history kept: each chunk goes as it is
    TranslationRequest unremembered = request;
    unremembered.wantEngineVersion = true;
    request.memory = std::make_shared<HistoryMemory>(history.path());
    History kept(folder.filePath("kept.sqlite"));
    const auto plain = translate(unremembered, &kept);
    QVERIFY(plain->finish());
    QCOMPARE(plain->result.outcome, TranslationResult::Outcome::Done);
    QCOMPARE(plain->paragraphs.size(), 2);
    QVERIFY2(!plain->paragraphs[0].endsWith('\n'), "the first chunk ends without a line break");
    QCOMPARE(plain->job->reusedSentences(), 0);
    const auto alone = translate(english(known, service.endpoint(), "ES", "Spanish"));
    QVERIFY(alone->finish());
    const QString engines = alone->paragraphs.value(0).trimmed();
    QVERIFY2(plain->paragraphs[0].contains(engines), qPrintable(plain->paragraphs[0]));

    // the known sentence from the memory, the others from the service in one request a chunk,
    // put together in their places with the whitespace as the service gives it back
    int sent = translated();
    const auto first = translate(request, &history);
    QVERIFY(first->finish());
    QCOMPARE(first->result.outcome, TranslationResult::Outcome::Done);
    QCOMPARE(translated() - sent, 2);
    QCOMPARE(first->job->sentenceCount(), 83);
    QCOMPARE(first->job->reusedSentences(), 1);
    QCOMPARE(first->paragraphs,
             QStringList({QString(plain->paragraphs[0]).replace(engines, remembered), plain->paragraphs[1]}));
    // what the service translated is kept a sentence at a time; the other tool's sentence as it was
    HistoryRecorder::flush();
    QCOMPARE(history.segmentCount(), 83);
    QVERIFY(first->job->engineVersion().startsWith("apertium-eng-spa "));
    const auto recorded = HistoryMemory(history.path())
                              .lookUp({"EN", "ES", service.endpoint(), first->job->engineVersion()},
                                      {"The dog eats bread.", sentences[79], known});
    QVERIFY(recorded[0] && recorded[0]->contains("perro") && !recorded[0]->contains("casa"));
    QVERIFY(recorded[1] && recorded[1]->contains("79") && !recorded[1]->contains("78"));
    QCOMPARE(recorded[2].value_or(QString()), remembered);
    // the sentences told apart in the replies to whole chunks are those the service gave apart
    QCOMPARE(kept.segmentCount(), 83);
    const QStringList ours = sentences + QStringList{"The house is big.", "The dog eats bread."};
    const MemoryKey key{"EN", "ES", service.endpoint(), first->job->engineVersion()};
    const auto apart = HistoryMemory(history.path()).lookUp(key, ours);
    QVERIFY(std::all_of(apart.begin(), apart.end(), [](const auto& translation) { return translation.has_value(); }));
    QVERIFY(HistoryMemory(kept.path()).lookUp(key, ours) == apart);
    // across a line break that ends no sentence the engine may move words ("the red / car" can
    // come back "el coche / rojo"): such lines are not kept
    TranslationRequest wrapped = unremembered;
    wrapped.text = "I see the red\ncar is big";
    const auto wrappedRun = translate(wrapped, &kept);
    QVERIFY(wrappedRun->finish());
    HistoryRecorder::flush();
    QCOMPARE(kept.segmentCount(), 83);

    // again: nothing is sent
    sent = translated();
    const auto second = translate(request);
    QVERIFY(second->finish());
    QCOMPARE(second->paragraphs, first->paragraphs);
    QCOMPARE(second->job->reusedSentences(), 83);
    QCOMPARE(translated(), sent);

    // only what the memory lacks is sent
    const struct {
        const char* name;
        std::function<void(TranslationRequest&)> change;
        int reused;
        int requests;
    } misses[] = {
        {"a sentence more", [](TranslationRequest& r) { r.text += " One more."; }, 83, 1},
        {"another target", [](TranslationRequest& r) { r.targetCode = "CA"; }, 0, 2},
    };
    for (const auto& miss : misses) {
        TranslationRequest changed = request;
        miss.change(changed);
        sent = translated();
        const auto run = translate(changed);
        QVERIFY(run->finish());
        QVERIFY2(run->result.outcome == TranslationResult::Outcome::Done, miss.name);
        QVERIFY2(run->job->reusedSentences() == miss.reused, miss.name);
        QVERIFY2(translated() - sent == miss.requests, miss.name);
    }
}

void TestTranslationJob::serviceNamingNoVersionIsAlwaysAsked()
{
    // a memory that knows every piece, behind a service that names no engine version
    struct KnowsEverything : TranslationMemory {
        std::vector<std::optional<QString>> lookUp(const MemoryKey&, const QStringList& chunks) override
        {
            ++asked;
            return std::vector<std::optional<QString>>(size_t(chunks.size()), QString("remembered"));
        }
        std::atomic<int> asked = 0;
    };
    auto memory = std::make_shared<KnowsEverything>();
    const size_t before = m_service.requests().size();
    TranslationRequest request = english("Hello", m_service.qurl("/translate"));
    request.memory = memory;
    Run run(request);
    QVERIFY(run.finish());
    QCOMPARE(run.paragraphs, QStringList{"fr:Hello "});
    QCOMPARE(run.job->reusedSentences(), 0);
    QCOMPARE(memory->asked.load(), 0);
    QVERIFY(run.job->engineVersion().isEmpty());
    const auto requests = m_service.requests();
    QCOMPARE(requests.size(), before + 1);
    QCOMPARE(requests.back().param("q"), "Hello\r\n");
}

void TestTranslationJob::sentencesNotComingBackApartSendTheChunkWhole()
{
    // a service that names a version but runs the paragraphs it is sent together
    QTemporaryDir folder;
    History history(folder.filePath("history.sqlite"));
    QVERIFY(history.addSegments([](const History::SegmentSink& add) {
        return add({"EN", "FR", QString(), QString(), "The whale sings.", "La baleine chante.", {}});
    }));
    const struct {
        const char* name;
        QString text;
        QStringList sent;
        QString paragraph;
        int reused;
    } cases[] = {
        {"one sentence asked",
         "The whale sings. The dog eats.",
         {"The dog eats.\r\n"},
         "La baleine chante. fr:The dog eats. ",
         1},
        {"two asked, one paragraph back",
         "The cat sleeps. The whale sings. The dog eats.",
         {"The cat sleeps.\r\n\r\nThe dog eats.\r\n", "The cat sleeps. The whale sings. The dog eats.\r\n"},
         "fr:The cat sleeps. The whale sings. The dog eats. ",
         0},
    };
    for (const auto& c : cases) {
        const size_t before = m_service.requests().size();
        TranslationRequest request = english(c.text, m_service.qurl("/versioned/translate"));
        request.memory = std::make_shared<HistoryMemory>(history.path());
        Run run(request);
        QVERIFY(run.finish());
        QVERIFY2(run.result.outcome == TranslationResult::Outcome::Done, c.name);
        QStringList sent;
        const auto requests = m_service.requests();
        for (size_t i = before; i < requests.size(); ++i)
            if (requests[i].target == "/versioned/translate")
                sent << QString::fromStdString(requests[i].param("q"));
        QCOMPARE(sent, c.sent);
        QCOMPARE(run.paragraphs, QStringList{c.paragraph});
        QVERIFY2(run.job->reusedSentences() == c.reused, c.name);
    }
}

QTEST_GUILESS_MAIN(TestTranslationJob)
#include "test_translation_job.moc"
