#include "TranslatorBusService.h"

#include "BusWindow.h"
#include "LanguageTable.h"
#include "ServiceExchange.h"
#include "ServiceLauncher.h"
#include "TextTranslation.h"

#include <QDBusConnection>

namespace {

// Ends a translation at its next chunk when the program closes.
struct Closing {};

}  // namespace

TranslatorBusService::TranslatorBusService(QObject* parent)
    : QObject(parent), m_client(std::make_unique<ServiceClient>()), m_launcher(std::make_unique<ServiceLauncher>())
{
    DesktopBus::RegisterTypes();
    m_worker.setMaxThreadCount(1);
}

TranslatorBusService::~TranslatorBusService()
{
    m_stopping = true;
    m_worker.waitForDone();
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
    const int source = LanguageTable::PositionOf(from);
    const int target = LanguageTable::PositionOf(to);
    if (source < 0 || target < 0) {
        sendErrorReply(DesktopBus::InvalidArgsError,
                       QStringLiteral("Unknown language code '%1'; Languages() lists the codes.")
                           .arg(source < 0 ? from : to));
        return {};
    }
    if (!m_window) {
        sendErrorReply(DesktopBus::BusyError, QStringLiteral("The translator is still starting; ask again in a moment."));
        return {};
    }
    if (m_queued > QueueLimit) {
        sendErrorReply(DesktopBus::BusyError,
                       QStringLiteral("The translator has %1 translations waiting; ask again later.").arg(int(m_queued)));
        return {};
    }
    const QString problem = m_launcher->ensureRunning(m_client->endpoint());
    if (!problem.isEmpty()) {
        sendErrorReply(DesktopBus::FailedError, problem);
        return {};
    }
    setDelayedReply(true);
    translateApart(connection(), message(), text, source, target);
    return {};
}

void TranslatorBusService::translateApart(const QDBusConnection& connection, const QDBusMessage& call,
                                          const QString& text, int source, int target)
{
    ++m_queued;
    const ProxySettings proxy = m_window->proxy();
    const bool cyrillic = m_window->serbianCyrillic();
    m_worker.start([this, connection, call, text, source, target, proxy, cyrillic] {
        QDBusMessage reply;
        try {
            m_client->setSerbianCyrillic(cyrillic);
            TextTranslation translation(*m_client, proxy);
            translation.status = [this](const QString&) {
                if (m_stopping)
                    throw Closing{};
            };
            QString refusal;
            const QString translated = translation.Translate(text, source, target, refusal);
            reply = refusal.isEmpty() ? call.createReply(translated)
                                      : call.createErrorReply(DesktopBus::InvalidArgsError, refusal);
        } catch (const Closing&) {
            reply = call.createErrorReply(DesktopBus::FailedError,
                                          QStringLiteral("The translator closed before the translation was done."));
        } catch (const std::exception& e) {
            reply = call.createErrorReply(DesktopBus::FailedError, QString::fromUtf8(e.what()));
        }
        --m_queued;
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
        entries << LanguageEntry{LanguageTable::ServiceCode(i).toLower(), LanguageTable::DisplayName(i)};
    return entries;
}
