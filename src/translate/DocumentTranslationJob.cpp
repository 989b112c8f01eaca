#include "DocumentTranslationJob.h"

#include "DocumentTranslation.h"
#include "ServiceConnection.h"
#include "ServiceExchange.h"
#include "AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QThreadPool>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cerrno>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

using Check = TranslationResult::Check;
using Outcome = TranslationResult::Outcome;

DocumentRequest DocumentRequest::betweenPositions(const QString& path, int source, int target,
                                                  const ProxySettings& proxy)
{
    DocumentRequest request;
    request.path = path;
    request.languages = TranslationRequest::betweenPositions({}, source, target, proxy);
    return request;
}

// What the job and its worker share; the worker finds `job` null once the job is gone.
struct DocumentTranslationJob::Shared {
    std::mutex mutex;
    DocumentTranslationJob* job = nullptr;
    std::atomic<bool> cancelled{false};

    void post(TranslationResult result, QByteArray document)
    {
        std::lock_guard lock(mutex);
        if (job)
            QMetaObject::invokeMethod(
                job, [target = job, result, document] { target->finish(result, document); }, Qt::QueuedConnection);
    }

    void postPercent(int percent)
    {
        std::lock_guard lock(mutex);
        if (job)
            QMetaObject::invokeMethod(
                job, [target = job, percent] { target->advance(percent); }, Qt::QueuedConnection);
    }
};

namespace {

// Asks the service how far it is with the document, about twice a second on a
// thread of its own, until the document's answer is in.
class ProgressPoller {
public:
    ProgressPoller(QString endpoint, ProxySettings proxy, QString job, std::function<void(int)> percent)
        : m_thread([this, endpoint = std::move(endpoint), proxy = std::move(proxy), job = std::move(job),
                    percent = std::move(percent)] { run(endpoint, proxy, job, percent); })
    {}
    ~ProgressPoller()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

private:
    void run(const QString& endpoint, const ProxySettings& proxy, const QString& job,
             const std::function<void(int)>& percent)
    {
        ServiceClient client(endpoint);
        client.setCancelFlag(&m_stop);
        client.setTimeouts(5, 5);
        int last = -1;
        std::unique_lock lock(m_mutex);
        while (!m_wake.wait_for(lock, std::chrono::milliseconds(500), [this] { return m_stop.load(); })) {
            lock.unlock();
            try {
                // none: not yet begun, or a service that does not tell; the caller stays busy
                if (const auto counts = client.documentProgress(job, proxy); counts && counts->second > 0) {
                    const int now = int(std::clamp<qint64>(counts->first * 100 / counts->second, 0, 100));
                    if (now > last)
                        percent(last = now);
                }
            } catch (const std::exception&) {
                // stopped while asking, or a proxy it cannot use: the document's own request says why
            }
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;  // last: started once the rest is ready
};

}  // namespace

DocumentTranslationJob* DocumentTranslationJob::start(const DocumentRequest& request, QObject* parent)
{
    return new DocumentTranslationJob(request, parent);
}

DocumentTranslationJob::DocumentTranslationJob(DocumentRequest request, QObject* parent)
    : QObject(parent), m_request(std::move(request)), m_shared(std::make_shared<Shared>())
{
    m_shared->job = this;
    if (m_request.languages.endpoint.isEmpty())
        m_request.languages.endpoint = ServiceClient::defaultEndpoint();
    if (m_request.format.isEmpty())
        m_request.format = formatOf(m_request.path);
    QMetaObject::invokeMethod(this, &DocumentTranslationJob::begin, Qt::QueuedConnection);
}

DocumentTranslationJob::~DocumentTranslationJob()
{
    m_shared->cancelled = true;
    std::lock_guard lock(m_shared->mutex);
    m_shared->job = nullptr;
}

void DocumentTranslationJob::cancel()
{
    if (m_finished)
        return;
    m_shared->cancelled = true;
    TranslationResult result;
    result.outcome = Outcome::Stopped;
    finish(result);
}

QString DocumentTranslationJob::formatOf(const QString& path)
{
    return QString::fromStdString(DocumentTranslation::formatOf(QFileInfo(path).suffix().toLower().toStdString()));
}

namespace {

QString listed(QStringList items, const QString& conjunction)
{
    const QString last = items.takeLast();
    return items.join(QLatin1String(", ")) + QLatin1Char(' ') + conjunction + QLatin1Char(' ') + last;
}

}  // namespace

QString DocumentTranslationJob::keptFormats(const QString& conjunction)
{
    QStringList names;
    for (const std::string& format : DocumentTranslation::formats())
        names << QString::fromStdString(DocumentTranslation::described(format));
    return listed(names, conjunction);
}

QString DocumentTranslationJob::keptExtensions(const QString& conjunction)
{
    QStringList extensions;
    for (const std::string& extension : DocumentTranslation::extensions())
        extensions << QLatin1Char('.') + QString::fromStdString(extension);
    return listed(extensions, conjunction);
}

QString DocumentTranslationJob::writeBeside(const QString& path, const QByteArray& bytes)
{
    const QString reason = AtomicFile::writeWhole(path, bytes);
    return reason.isEmpty() ? QString() : QStringLiteral("Cannot write %1: %2").arg(path, reason);
}

void DocumentTranslationJob::begin()
{
    if (m_finished)
        return;
    TranslationResult refusal;
    refusal.outcome = Outcome::Refused;
    if (m_request.languages.sourceCode.isEmpty())
        refusal.check = Check::NoSourceLanguage;
    else if (m_request.languages.targetCode.isEmpty())
        refusal.check = Check::NoTargetLanguage;
    else if (m_request.languages.sourceCode.compare(m_request.languages.targetCode, Qt::CaseInsensitive) == 0)
        refusal.check = Check::SameLanguages;
    if (refusal.check != Check::None) {
        refusal.message = TranslationResult::checkMessage(refusal.check);
        return finish(refusal);
    }
    if (m_request.format.isEmpty()) {
        TranslationResult failure;
        failure.outcome = Outcome::Failed;
        failure.message = QStringLiteral("%1 is not a document whose layout can be kept (%2).")
                              .arg(QFileInfo(m_request.path).fileName(), keptExtensions(QStringLiteral("or")));
        return finish(failure);
    }
    const TranslationRequest& languages = m_request.languages;
    emit started(QStringLiteral("Translating %1 to %2 ...").arg(languages.sourceName, languages.targetName));
    Translator::senders().start([shared = m_shared, request = m_request] {
        TranslationResult result;
        QByteArray translated;
        result.outcome = Outcome::Failed;
        QFile file(request.path);
        if (!file.open(QIODevice::ReadOnly)) {
            result.message = QStringLiteral("Cannot read %1: %2").arg(request.path, file.errorString());
            return shared->post(result, {});
        }
        const QByteArray document = file.readAll();
        file.close();
        const QString job = ServiceClient::newJob();
        try {
            const QString problem = ServiceConnection::instance().ensureRunning(request.languages.endpoint);
            if (!problem.isEmpty())
                throw ServiceError(problem.toStdString());
            ServiceClient client(request.languages.endpoint);
            client.setCancelFlag(&shared->cancelled);
            client.setSerbianCyrillic(request.languages.serbianCyrillic);
            // the service sends nothing until the whole document is done, which it may take a minute
            // and a minute per MB for: the reply is waited for that long and a little more
            client.setTimeouts(15, 90 + 60 * int(document.size() >> 20));
            const TranslationRequest& languages = request.languages;
            const ProgressPoller poller(request.languages.endpoint, languages.proxy, job,
                                        [shared](int percent) { shared->postPercent(percent); });
            translated = client.sendDocument(document, request.format, languages.sourceCode, languages.targetCode,
                                             languages.proxy, job);
            result.outcome = Outcome::Done;
        } catch (const ServiceCancelled&) {
            result.outcome = Outcome::Stopped;
            // the connection just closed stops the work, unless a proxy keeps the service's side open
            ServiceClient stopper(request.languages.endpoint);
            stopper.setTimeouts(2, 2);
            stopper.stopDocument(job, request.languages.proxy);
        } catch (const std::exception& e) {
            result.message = QString::fromUtf8(e.what());
        }
        shared->post(result, translated);
    });
}

void DocumentTranslationJob::advance(int percent)
{
    if (m_finished || percent <= m_percent)
        return;
    m_percent = percent;
    emit progress(percent);
}

void DocumentTranslationJob::finish(TranslationResult result, QByteArray document)
{
    if (m_finished)
        return;
    m_finished = true;
    m_result = std::move(result);
    m_document = std::move(document);
    emit finished(m_result);
}
