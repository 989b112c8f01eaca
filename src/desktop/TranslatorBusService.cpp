#include "TranslatorBusService.h"

#include "BusWindow.h"
#include "HistoryRecorder.h"
#include "LanguageDetector.h"
#include "LanguageTable.h"
#include "TextPreparation.h"
#include "TranslationJob.h"

#include <QDBusConnection>
#include <QDBusServiceWatcher>

#include <memory>

TranslatorBusService::TranslatorBusService(QObject* parent) : QObject(parent) { DesktopBus::registerTypes(); }

TranslatorBusService::~TranslatorBusService()
{
    // each answers its caller that the translator closed
    for (TranslationJob* job : QSet<TranslationJob*>(m_jobs))
        job->cancel();
}

void TranslatorBusService::attach(BusWindow* window)
{
    m_window = window;
    if (!m_window)
        return;
    if (m_pendingSelection)
        m_window->translateSelection();
    else if (m_pendingShow)
        m_window->bringToFront();
    m_pendingShow = m_pendingSelection = false;
}

QString TranslatorBusService::Translate(const QString& text, const QString& from, const QString& to)
{
    const int source = LanguageTable::positionOf(from);
    const int target = LanguageTable::positionOf(to);
    if (source < 0 || target < 0) {
        sendErrorReply(
            DesktopBus::InvalidArgsError,
            QStringLiteral("Unknown language code '%1'; Languages() lists the codes.").arg(source < 0 ? from : to));
        return {};
    }
    if (!m_window) {
        sendErrorReply(DesktopBus::BusyError,
                       QStringLiteral("The translator is still starting; ask again in a moment."));
        return {};
    }
    if (m_jobs.size() > QueueLimit) {
        sendErrorReply(
            DesktopBus::BusyError,
            QStringLiteral("The translator has %1 translations waiting; ask again later.").arg(m_jobs.size()));
        return {};
    }
    setDelayedReply(true);
    translateApart(connection(), message(), text, source, target);
    return {};
}

void TranslatorBusService::translateApart(const QDBusConnection& connection, const QDBusMessage& call,
                                          const QString& text, int source, int target)
{
    TranslationRequest request = TranslationRequest::betweenPositions(text, source, target, m_window->proxy());
    request.serbianCyrillic = m_window->serbianCyrillic();
    HistoryRecorder::equip(request, m_window->keepHistory(), m_window->reuseTranslations());
    TranslationJob* job = Translator::start(request, this);
    m_jobs.insert(job);
    if (m_window->keepHistory())
        HistoryRecorder::watch(
            *job, HistoryEntry::Origin::Bus,
            [this](const QString& notice) {
                if (m_window)
                    m_window->historyNotice(notice);
            },
            this);

    // nobody is left to read the translation of a caller that went away
    auto* watcher =
        new QDBusServiceWatcher(call.service(), connection, QDBusServiceWatcher::WatchForUnregistration, job);
    auto callerLeft = std::make_shared<bool>(false);
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, job, [job, callerLeft] {
        *callerLeft = true;
        job->cancel();
    });
    // the text as the target pane would hold it
    auto pane = std::make_shared<QString>();
    connect(job, &TranslationJob::paragraph, job, [pane](int chunk, const QString& paragraph) {
        if (chunk > 0)
            *pane += QLatin1Char('\n');
        *pane += TextPreparation::plainPaneText(paragraph);
    });
    connect(job, &TranslationJob::finished, this,
            [this, job, connection, call, pane, callerLeft](const TranslationResult& result) {
                m_jobs.remove(job);
                job->deleteLater();
                QDBusMessage reply;
                switch (result.outcome) {
                case TranslationResult::Outcome::Done:
                    reply = call.createReply(*pane);
                    break;
                case TranslationResult::Outcome::Refused:
                    reply = call.createErrorReply(DesktopBus::InvalidArgsError, result.reason());
                    break;
                case TranslationResult::Outcome::Failed:
                    reply = call.createErrorReply(DesktopBus::FailedError, result.reason());
                    break;
                case TranslationResult::Outcome::Stopped:
                    if (*callerLeft)
                        return;
                    reply =
                        call.createErrorReply(DesktopBus::FailedError,
                                              QStringLiteral("The translator closed before the translation was done."));
                    break;
                }
                QDBusConnection(connection).send(reply);
            });
}

void TranslatorBusService::TranslateSelection()
{
    if (!m_window) {
        m_pendingSelection = true;
        return;
    }
    switch (m_window->translateSelection()) {
    case BusWindow::Selection::Started:
        break;
    case BusWindow::Selection::Busy:
        sendErrorReply(DesktopBus::BusyError,
                       QStringLiteral("The translator is busy translating; try again when it has finished."));
        break;
    case BusWindow::Selection::Empty:
        sendErrorReply(DesktopBus::NoSelectionError, BusWindow::NothingSelected);
        break;
    }
}

void TranslatorBusService::ShowWindow()
{
    if (m_window)
        m_window->bringToFront();
    else
        m_pendingShow = true;
}

LanguageEntries TranslatorBusService::Languages()
{
    LanguageEntries entries;
    for (int i = 0; i < LanguageTable::Count; ++i)
        entries << LanguageEntry{LanguageTable::serviceCode(i).toLower(), LanguageTable::displayName(i)};
    return entries;
}

QString TranslatorBusService::DetectLanguage(const QString& text, uint& percent)
{
    const auto result = LanguageDetector::detect(text);
    percent = result.detected() ? uint(result.best().percent) : 0;
    return result.detected() ? result.best().code.toLower() : QString();
}
