#pragma once

#include "MemoryChunk.h"
#include "ProxySettings.h"
#include "TranslationMemory.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>

// What to translate: the text as the source pane holds it (lines apart by
// "\n"), the two languages by service code ("EN", "zh-tw"; empty when none is
// chosen) and their display names, which the status texts name.
struct TranslationRequest {
    QString text;
    QString sourceCode;
    QString targetCode;
    QString sourceName;
    QString targetName;
    ProxySettings proxy;
    // empty: ServiceClient::DefaultEndpoint(); the built-in service is started when it is that
    QString endpoint;
    // chunks sent to the service at once; 0: Translator::DefaultChunksInFlight()
    int chunksInFlight = 0;
    // Serbian output written in Cyrillic (asked of the built-in service only)
    bool serbianCyrillic = false;
    // The same text with its formatting, as HTML; when given, whole paragraphs of it go through
    // the service's HTML document route and come back formatted (`text` still names what is sent).
    QString html;
    // where pieces translated before are taken from instead of the service; null: all are sent
    std::shared_ptr<TranslationMemory> memory;
    // ask the service for its engine version even without a memory, for a history to record with the pieces
    bool wantEngineVersion = false;

    // Between two positions of the language lists (-1: none chosen), named as the lists name them.
    static TranslationRequest betweenPositions(const QString& text, int source, int target, const ProxySettings& proxy);
};

// How a translation ended.
struct TranslationResult {
    enum class Outcome { Done, Refused, Stopped, Failed };
    // The checks a translation passes before anything is sent, in their order.
    enum class Check { None, NothingToTranslate, NoSourceLanguage, NoTargetLanguage, SameLanguages };

    Outcome outcome = Outcome::Done;
    Check check = Check::None;  // the check that refused it
    // Refused: the window's message box text; Failed: the service's or the network's reason.
    QString message;

    // A refusal in the window's words ("ERROR: Please select the source language!").
    static QString checkMessage(Check check);
    // The same without the "ERROR: " of the window's boxes, for other programs.
    static QString checkReason(Check check);
    // What went wrong, for a program rather than a message box: the refusal's
    // reason or the failure's message; empty when done or stopped.
    QString reason() const;
};

class TranslationJob;
class QObject;
class QThreadPool;

namespace Translator {

// Starts a translation; the job belongs to `parent` (or to the caller when null).
TranslationJob* start(const TranslationRequest& request, QObject* parent = nullptr);

// Four, or one a processor core when there are more.
int defaultChunksInFlight();

// The threads that talk to the service, for every job of the process.
QThreadPool& senders();

}  // namespace Translator

// One translation under way. Translator::start() makes it; it emits nothing
// before control returns to the event loop of the thread that started it, so
// callers connect to it first. Chunks go to the service from worker threads,
// several at once, and come back here to be handed on strictly in order.
class TranslationJob : public QObject {
    Q_OBJECT
public:
    ~TranslationJob() override;

    // Ends the job at once as Stopped; requests under way are abandoned and
    // nothing more is emitted but that one finished().
    void cancel();
    bool isFinished() const { return m_finished; }
    const TranslationResult& result() const { return m_result; }
    const TranslationRequest& request() const { return m_request; }
    // The pieces the text was cut into, as sent; empty until the first progress().
    QStringList sourceChunks() const;
    // The service the pieces go to.
    QString endpoint() const;
    // The version of the engine data on the service's route for the two
    // languages, as the service names it; empty when it names none or no
    // memory was asked for. Known from the first progress() on.
    QString engineVersion() const;
    // How many sentences the text holds, as the translation memory cuts it; 0 when there is
    // no memory to ask or to feed, or the service names no engine version. Known from the
    // first progress() on.
    int sentenceCount() const { return m_sentences; }
    // How many of them were taken from the memory rather than the service, of the chunks handed on.
    int reusedSentences() const { return m_reused; }
    // The sentences the service translated in this run, with their translations, in order, for the
    // memory to keep: only where the service names its engine version.
    const QList<SentencePair>& translatedSentences() const { return m_learned; }

    // "12 of 40 sentences were taken from the translation memory." in English.
    static QString reusedText(int reused, int count);

    // The first check the request fails, in the order a job makes them; None when it passes them all.
    static TranslationResult::Check failedCheck(const TranslationRequest& request);

    static const QString DoneText;     // "Done."
    static const QString StoppedText;  // "Stopped."

signals:
    // The checks passed: "Translating <src> to <trg> ...".
    void started(const QString& statusText);
    // Before chunk `chunk` of `count` is handed on: the run's progress text.
    void progress(int chunk, int count, const QString& statusText);
    // Each chunk's translation as the service's reply gives it, in order (as plain text when
    // the request had formatting).
    void paragraph(int chunk, const QString& translation);
    // With formatting: each chunk's translation as HTML, just before its paragraph().
    void formattedParagraph(int chunk, const QString& html);
    // Exactly once.
    void finished(const TranslationResult& result);

private:
    friend TranslationJob* Translator::start(const TranslationRequest& request, QObject* parent);
    struct Shared;
    // One chunk's translation as it came: as plain text and HTML, how many of its sentences
    // the memory gave, and the sentences the service translated.
    struct Reply {
        QString translation;
        QString html;
        int reused = 0;
        QList<SentencePair> learned;
    };

    explicit TranslationJob(TranslationRequest request, QObject* parent);
    void begin();
    void prepared(int count, int sentences);
    void replied(int chunk, const Reply& reply);
    void failed(int chunk, const QString& reason);
    void handOn();
    void finish(TranslationResult result);

    TranslationRequest m_request;
    std::shared_ptr<Shared> m_shared;
    int m_count = -1;  // known once the text is cut
    int m_next = 0;    // the next chunk to hand on
    int m_sentences = 0;
    int m_reused = 0;
    QList<SentencePair> m_learned;
    std::map<int, Reply> m_arrived;
    int m_failedChunk = -1;
    QString m_failure;
    bool m_finished = false;
    TranslationResult m_result;
};
