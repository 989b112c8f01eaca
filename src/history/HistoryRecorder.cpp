#include "HistoryRecorder.h"

#include "HistoryMemory.h"
#include "TextPreparation.h"
#include "TranslationJob.h"

#include <QCoreApplication>
#include <QPointer>
#include "SizedThreadPool.h"

#include <atomic>
#include <memory>

namespace {
std::atomic<bool> suspended{false};

// One writer: records land in the order their runs ended, never two at once.
QThreadPool& writer()
{
    static SizedThreadPool pool(1);
    return pool;
}
}  // namespace

namespace HistoryRecorder {

void flush() { writer().waitForDone(); }

History& shared()
{
    static std::unique_ptr<History> history;
    flush();
    const QString path = History::defaultPath();
    if (!history || history->path() != path)
        history = std::make_unique<History>(path);
    return *history;
}

void setSuspendedForRun(bool on) { suspended = on; }
bool suspendedForRun() { return suspended; }

void equip(TranslationRequest& request, bool keep, bool reuse)
{
    request.wantEngineVersion = keep && !suspended;
    request.memory = reuse && !suspended ? std::make_shared<HistoryMemory>(History::defaultPath()) : nullptr;
}

void watch(TranslationJob& job, HistoryEntry::Origin origin, std::function<void(const QString&)> tell, QObject* context,
           History* into)
{
    if (suspended)
        return;
    auto translations = std::make_shared<QStringList>();
    QObject::connect(&job, &TranslationJob::paragraph, &job,
                     [translations](int, const QString& translation) { *translations << translation; });
    QObject::connect(&job, &TranslationJob::finished, &job,
                     [&job, into, origin, translations, tell = std::move(tell), guard = QPointer<QObject>(context),
                      hasContext = context != nullptr](const TranslationResult& result) {
                         if (result.outcome != TranslationResult::Outcome::Done || suspended)
                             return;
                         History* history = into ? into : &shared();
                         const TranslationRequest& request = job.request();
                         HistoryEntry entry;
                         entry.sourceCode = request.sourceCode;
                         entry.targetCode = request.targetCode;
                         entry.source = request.text;
                         entry.origin = origin;
                         // the translation as the target pane shows it
                         QStringList lines;
                         for (const QString& translation : *translations)
                             lines << TextPreparation::plainPaneText(translation);
                         entry.translation = lines.join(QLatin1Char('\n'));
                         QList<HistoryChunk> chunks;
                         const QStringList sources = job.sourceChunks();
                         const QString endpoint = job.endpoint();
                         const QString version = job.engineVersion();
                         for (qsizetype i = 0; i < sources.size() && i < translations->size(); ++i)
                             chunks << HistoryChunk{sources.at(i), translations->at(i), endpoint, version};
                         QList<HistoryChunk> sentences;
                         for (const auto& [sentence, translation] : job.translatedSentences())
                             sentences << HistoryChunk{sentence, translation, endpoint, version};
                         writer().start([history, entry, chunks, sentences, tell, guard, hasContext]() mutable {
                             history->record(entry, chunks, sentences);
                             const QString notice = history->takeNotice();
                             if (notice.isEmpty() || !tell)
                                 return;
                             if (!hasContext) {
                                 tell(notice);
                                 return;
                             }
                             // the context is looked at on its own thread only
                             QMetaObject::invokeMethod(
                                 QCoreApplication::instance(),
                                 [guard, tell, notice] {
                                     if (guard)
                                         tell(notice);
                                 },
                                 Qt::QueuedConnection);
                         });
                     });
}

}  // namespace HistoryRecorder
