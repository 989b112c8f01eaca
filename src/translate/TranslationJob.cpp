#include "TranslationJob.h"

#include "FormattedText.h"
#include "LanguageTable.h"
#include "ServiceConnection.h"
#include "ServiceExchange.h"
#include "ServicePairs.h"
#include "SizedThreadPool.h"
#include "TextPreparation.h"

#include <QThread>

#include <atomic>
#include <mutex>

using Check = TranslationResult::Check;
using Outcome = TranslationResult::Outcome;

const QString TranslationJob::DoneText = QStringLiteral("Done.");
const QString TranslationJob::StoppedText = QStringLiteral("Stopped.");

TranslationRequest TranslationRequest::betweenPositions(const QString& text, int source, int target,
                                                        const ProxySettings& proxy)
{
    TranslationRequest request;
    request.text = text;
    request.sourceCode = LanguageTable::serviceCode(source);
    request.targetCode = LanguageTable::serviceCode(target);
    request.sourceName = LanguageTable::displayName(source);
    request.targetName = LanguageTable::displayName(target);
    request.proxy = proxy;
    return request;
}

QString TranslationResult::checkReason(Check check)
{
    switch (check) {
    case Check::None:
        break;
    case Check::NothingToTranslate:
        return QStringLiteral("Nothing to translate!");
    case Check::NoSourceLanguage:
        return QStringLiteral("Please select the source language!");
    case Check::NoTargetLanguage:
        return QStringLiteral("Please select the destination language!");
    case Check::SameLanguages:
        return QStringLiteral("Source language is the same as the destination language!");
    }
    return {};
}

QString TranslationResult::checkMessage(Check check)
{
    const QString reason = checkReason(check);
    if (check == Check::None || check == Check::NothingToTranslate)
        return reason;
    return QStringLiteral("ERROR: ") + reason;
}

QString TranslationResult::reason() const
{
    switch (outcome) {
    case Outcome::Refused:
        return checkReason(check);
    case Outcome::Failed:
        return message;
    case Outcome::Done:
    case Outcome::Stopped:
        break;
    }
    return {};
}

// Made after the service connection, so it is gone (every sender ended) before that is.
QThreadPool& Translator::senders()
{
    ServiceConnection::instance();
    static SizedThreadPool pool(64);
    return pool;
}

using Translator::senders;

// What the job and its worker threads share. The workers hold it after the
// job is gone; they then find `job` null and their replies go nowhere.
struct TranslationJob::Shared {
    std::mutex mutex;
    TranslationJob* job = nullptr;
    std::atomic<bool> cancelled{false};
    // written before any sender starts, then only read
    QStringList chunks;
    QString sourceCode;
    QString targetCode;
    QString endpoint;
    ProxySettings proxy;
    bool serbianCyrillic = false;
    bool formatted = false;  // the chunks are HTML documents
    int senders = 1;
    std::shared_ptr<TranslationMemory> memory;
    bool wantEngineVersion = false;
    // written before prepared() is posted, then only read
    QString engineVersion;
    std::vector<char> known;         // the chunks the memory answered: not sent
    std::vector<MemoryChunk> plans;  // by chunk, when the route names its engine version
    // guarded by the mutex
    int next = 0;
    bool failedOnce = false;

    // Runs `call` on the job in its own thread, if there still is a job.
    template <typename Call>
    void post(Call call)
    {
        std::lock_guard lock(mutex);
        if (job)
            QMetaObject::invokeMethod(
                job, [target = job, call = std::move(call)] { call(*target); }, Qt::QueuedConnection);
    }

    // Cuts the text, makes sure the service answers, then sends.
    static void prepare(const std::shared_ptr<Shared>& self, const QString& text, const QString& html)
    {
        using namespace TextPreparation;
        self->chunks = self->formatted
                           ? FormattedText::htmlChunks(html, ChunkLimit)
                           : splitIntoChunks(prepareText(plainPaneText(text).split(QLatin1Char('\n'))), ChunkLimit);
        const int count = int(self->chunks.size());
        if (self->cancelled)
            return;
        const QString problem = ServiceConnection::instance().ensureRunning(self->endpoint);
        if (self->cancelled)
            return;
        self->known.assign(size_t(count), 0);
        std::vector<std::optional<QString>> remembered;
        if (problem.isEmpty() && (self->memory || self->wantEngineVersion) && !lookUpRemembered(self, remembered))
            return;
        int reused = 0;
        for (const std::optional<QString>& translation : remembered)
            reused += translation.has_value();
        int sentences = 0;
        for (const MemoryChunk& plan : self->plans)
            sentences += plan.sentenceCount();
        self->post([count, problem, sentences](TranslationJob& job) {
            job.prepared(count, sentences);
            if (!problem.isEmpty())
                job.failed(0, problem);
        });
        // one at a time, as the service's replies come, so a window shows each as it goes
        for (size_t chunk = 0; chunk < remembered.size(); ++chunk)
            if (remembered[chunk])
                self->post([chunk, reply = Reply{*remembered[chunk], {}, self->plans[chunk].sentenceCount(), {}}](
                               TranslationJob& job) { job.replied(int(chunk), reply); });
        if (!problem.isEmpty() || reused == count)
            return;
        for (int i = 1; i < std::min(self->senders, count); ++i)
            Translator::senders().start([self] { send(self); });
        send(self);
    }

    // The memory's translations of the chunks it knows every sentence of, by position, under
    // the route's engine version; false when the job was cancelled meanwhile.
    static bool lookUpRemembered(const std::shared_ptr<Shared>& self, std::vector<std::optional<QString>>& found)
    {
        try {
            ServiceClient client(self->endpoint);
            client.setCancelFlag(&self->cancelled);
            self->engineVersion = ServicePairs::routeVersion(client, self->sourceCode, self->targetCode, self->proxy);
        } catch (const ServiceCancelled&) {
            return false;
        }
        // the same engine writes Serbian in either script
        if (!self->engineVersion.isEmpty() && self->serbianCyrillic
            && self->targetCode.compare(QLatin1String("SR"), Qt::CaseInsensitive) == 0)
            self->engineVersion += QStringLiteral("; Serbian in Cyrillic");
        if (self->engineVersion.isEmpty())
            return !self->cancelled;
        for (const QString& chunk : std::as_const(self->chunks))
            self->plans.emplace_back(chunk, self->sourceCode);
        if (!self->memory)
            return !self->cancelled;
        QStringList keys;
        std::vector<size_t> firstKeys;
        for (const MemoryChunk& plan : self->plans) {
            firstKeys.push_back(size_t(keys.size()));
            keys << plan.keys();
        }
        firstKeys.push_back(size_t(keys.size()));
        std::vector<std::optional<QString>> answers =
            self->memory->lookUp({self->sourceCode, self->targetCode, self->endpoint, self->engineVersion}, keys);
        answers.resize(size_t(keys.size()));
        found.resize(self->plans.size());
        for (size_t chunk = 0; chunk < self->plans.size(); ++chunk) {
            MemoryChunk& plan = self->plans[chunk];
            plan.remember(std::span(answers).subspan(firstKeys[chunk], firstKeys[chunk + 1] - firstKeys[chunk]));
            if (plan.complete()) {
                found[chunk] = plan.translation();
                self->known[chunk] = 1;
            }
        }
        return !self->cancelled;
    }

    // One chunk's translation: by the HTML route; with the memory, only the sentences it lacks
    // with the rest put back around them; else the chunk as it is.
    static Reply translate(const Shared& self, ServiceClient& client, int chunk)
    {
        const QString& text = self.chunks.at(chunk);
        if (self.formatted) {
            // the HTML route: the form's "&" rule and chunking would cut entities and tags
            const QString html = QString::fromUtf8(client.sendDocument(text.toUtf8(), QStringLiteral("html"),
                                                                       self.sourceCode, self.targetCode, self.proxy));
            return {FormattedText::plainText(html), html, 0, {}};
        }
        const MemoryChunk* plan = self.plans.empty() ? nullptr : &self.plans[size_t(chunk)];
        if (plan && self.memory && plan->sentenceCount() > 0) {
            const QByteArray reply = client.sendChunk(plan->request(), self.sourceCode, self.targetCode, self.proxy);
            if (const auto answer = plan->answer(extractTranslation(reply)))
                return {answer->translation, {}, plan->knownCount(), answer->learned};
            // paragraphs that do not line up with the sentences: the chunk goes whole instead
        }
        const QByteArray reply = client.sendChunk(text, self.sourceCode, self.targetCode, self.proxy);
        return {extractTranslation(reply),
                {},
                0,
                plan ? plan->learnedFromWhole(extractLines(reply), self.targetCode) : QList<SentencePair>()};
    }

    // One chunk in flight at a time, taking the next unsent one, until none is left.
    static void send(const std::shared_ptr<Shared>& self)
    {
        ServiceClient client(self->endpoint);
        client.setCancelFlag(&self->cancelled);
        client.setSerbianCyrillic(self->serbianCyrillic);
        for (;;) {
            int chunk = 0;
            {
                std::lock_guard lock(self->mutex);
                while (self->next < self->chunks.size() && self->known[size_t(self->next)])
                    ++self->next;
                if (self->cancelled || self->failedOnce || self->next >= self->chunks.size())
                    return;
                chunk = self->next++;
            }
            QString reason;
            try {
                const Reply reply = translate(*self, client, chunk);
                self->post([chunk, reply](TranslationJob& job) { job.replied(chunk, reply); });
                continue;
            } catch (const ServiceCancelled&) {
                return;
            } catch (const std::exception& e) {
                reason = QString::fromUtf8(e.what());
            }
            {
                std::lock_guard lock(self->mutex);
                self->failedOnce = true;
            }
            self->post([chunk, reason](TranslationJob& job) { job.failed(chunk, reason); });
            return;
        }
    }
};

TranslationJob::TranslationJob(TranslationRequest request, QObject* parent)
    : QObject(parent), m_request(std::move(request)), m_shared(std::make_shared<Shared>())
{
    m_shared->job = this;
    QMetaObject::invokeMethod(this, &TranslationJob::begin, Qt::QueuedConnection);
}

TranslationJob::~TranslationJob()
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->job = nullptr;
    }
    m_shared->cancelled = true;
}

QStringList TranslationJob::sourceChunks() const
{
    // the sender wrote them before it posted prepared(), and writes them no more
    return m_count >= 0 ? m_shared->chunks : QStringList();
}

QString TranslationJob::endpoint() const
{
    return m_request.endpoint.isEmpty() ? ServiceClient::defaultEndpoint() : m_request.endpoint;
}

QString TranslationJob::engineVersion() const
{
    // like the chunks, written before prepared() was posted
    return m_count >= 0 ? m_shared->engineVersion : QString();
}

QString TranslationJob::reusedText(int reused, int count)
{
    return QStringLiteral("%1 of %2 sentences were taken from the translation memory.").arg(reused).arg(count);
}

void TranslationJob::cancel() { finish({Outcome::Stopped, Check::None, {}}); }

Check TranslationJob::failedCheck(const TranslationRequest& request)
{
    // only a text this short can be a lone space or line break
    const QString& text = request.text;
    if (TextPreparation::isNothingToTranslate(text.size() <= 2 ? TextPreparation::plainPaneText(text) : text))
        return Check::NothingToTranslate;
    if (request.sourceCode.isEmpty())
        return Check::NoSourceLanguage;
    if (request.targetCode.isEmpty())
        return Check::NoTargetLanguage;
    // the two "Dutch" entries share a code and so count as the same language
    if (request.sourceCode.compare(request.targetCode, Qt::CaseInsensitive) == 0)
        return Check::SameLanguages;
    return Check::None;
}

void TranslationJob::begin()
{
    if (m_finished)
        return;
    const TranslationRequest& request = m_request;
    const Check check = failedCheck(request);
    if (check != Check::None) {
        finish({Outcome::Refused, check, TranslationResult::checkMessage(check)});
        return;
    }

    emit started(TextPreparation::startText(request.sourceName, request.targetName));
    if (m_finished)
        return;
    m_shared->sourceCode = request.sourceCode;
    m_shared->targetCode = request.targetCode;
    m_shared->endpoint = request.endpoint.isEmpty() ? ServiceClient::defaultEndpoint() : request.endpoint;
    m_shared->proxy = request.proxy;
    m_shared->serbianCyrillic = request.serbianCyrillic;
    m_shared->formatted = !request.html.isEmpty();
    // the memory holds plain text: a formatted run neither takes from it nor names a version for it
    m_shared->memory = m_shared->formatted ? nullptr : request.memory;
    m_shared->wantEngineVersion = !m_shared->formatted && request.wantEngineVersion;
    m_shared->senders = request.chunksInFlight > 0 ? request.chunksInFlight : Translator::defaultChunksInFlight();
    // the service works on only a few documents at once and turns away the rest: HTML pieces go one by one
    if (m_shared->formatted)
        m_shared->senders = 1;
    // a megabyte takes a while to cut: not on this thread
    senders().start(
        [shared = m_shared, text = request.text, html = request.html] { Shared::prepare(shared, text, html); });
}

void TranslationJob::prepared(int count, int sentences)
{
    if (m_finished)
        return;
    m_count = count;
    m_sentences = sentences;
    emit progress(0, count, TextPreparation::progressText(m_request.sourceName, m_request.targetName, 0, count));
}

void TranslationJob::replied(int chunk, const Reply& reply)
{
    if (m_finished)
        return;
    m_arrived.emplace(chunk, reply);
    handOn();
}

void TranslationJob::failed(int chunk, const QString& reason)
{
    if (m_finished)
        return;
    // the first chunk that failed ends the run, once those before it are handed on
    if (m_failedChunk < 0 || chunk < m_failedChunk) {
        m_failedChunk = chunk;
        m_failure = reason;
    }
    handOn();
}

void TranslationJob::handOn()
{
    while (!m_finished) {
        if (m_next == m_failedChunk) {
            finish({Outcome::Failed, Check::None, m_failure});
            return;
        }
        const auto arrived = m_arrived.find(m_next);
        if (arrived == m_arrived.end())
            return;
        const Reply reply = std::move(arrived->second);
        m_arrived.erase(arrived);
        const int chunk = m_next++;
        m_reused += reply.reused;
        m_learned += reply.learned;
        if (m_shared->formatted) {
            emit formattedParagraph(chunk, reply.html);
            if (m_finished)
                return;
        }
        emit paragraph(chunk, reply.translation);
        if (m_finished)
            return;
        if (m_next == m_count) {
            finish({Outcome::Done, Check::None, {}});
            return;
        }
        emit progress(m_next, m_count,
                      TextPreparation::progressText(m_request.sourceName, m_request.targetName, m_next, m_count));
    }
}

void TranslationJob::finish(TranslationResult result)
{
    if (m_finished)
        return;
    m_finished = true;
    m_result = std::move(result);
    m_shared->cancelled = true;
    m_arrived.clear();
    emit finished(m_result);
}

namespace Translator {

TranslationJob* start(const TranslationRequest& request, QObject* parent)
{
    return new TranslationJob(request, parent);
}

int defaultChunksInFlight()
{
    // the service queues a pair's chunks in one engine chain: with only two in it the chain's
    // later stages run dry at each chunk's end, four keep it as busy as one long text does
    return std::max(4, QThread::idealThreadCount());
}

}  // namespace Translator
