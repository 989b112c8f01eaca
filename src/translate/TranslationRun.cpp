#include "TranslationRun.h"

#include "LanguageTable.h"
#include "ServiceExchange.h"
#include "TextPreparation.h"

const QString TranslationRun::NothingToTranslate = QStringLiteral("Nothing to translate!");
const QString TranslationRun::NoSourceLanguage = QStringLiteral("ERROR: Please select the source language!");
const QString TranslationRun::NoTargetLanguage = QStringLiteral("ERROR: Please select the destination language!");
const QString TranslationRun::SameLanguages =
    QStringLiteral("ERROR: Source language is the same as the destination language!");
const QString TranslationRun::DoneText = QStringLiteral("Done.");

TranslationRun::TranslationRun(TranslationView& view, ServiceClient& client, const ProxySettings& proxy)
    : m_view(view), m_client(client), m_proxy(proxy)
{
}

void TranslationRun::Run()
{
    using namespace TextPreparation;

    if (IsNothingToTranslate(m_view.sourcePaneText())) {
        m_view.showMessage(NothingToTranslate);
        return;
    }
    const QString sourceCode = LanguageTable::ServiceCode(m_view.sourcePosition());
    if (sourceCode.isEmpty()) {
        m_view.showMessage(NoSourceLanguage);
        return;
    }
    const QString targetCode = LanguageTable::ServiceCode(m_view.targetPosition());
    if (targetCode.isEmpty()) {
        m_view.showMessage(NoTargetLanguage);
        return;
    }
    // the two "Dutch" entries share a code and so count as the same language
    if (sourceCode == targetCode) {
        m_view.showMessage(SameLanguages);
        return;
    }
    m_view.prepareService();

    if (m_view.characterPresent())
        m_view.characterThinkOverSource();

    const QString prepared = PrepareText(m_view.sourcePaneLines());
    const QString sourceName = m_view.sourceDisplayName();
    const QString targetName = m_view.targetDisplayName();
    m_view.setStatus(StartText(sourceName, targetName), false);

    const QStringList chunks = SplitIntoChunks(prepared, ChunkLimit);
    const int count = int(chunks.size());
    for (int i = 0; i < count; ++i) {
        // the window is blocked during the request, so the progress is painted first
        m_view.setStatus(ProgressText(sourceName, targetName, i, count), true);
        const QByteArray reply = m_client.SendChunk(chunks.at(i), sourceCode, targetCode, m_proxy);
        m_view.processPendingEvents();
        m_view.appendTargetParagraph(ExtractTranslation(reply));
    }

    m_view.caretToTargetStart();
    m_view.setStatus(DoneText, false);

    if (!m_view.agentUnavailable() && m_view.readAloudOption() && m_view.targetPaneText().size() > 2) {
        m_view.setReadTargetOption(true);
        m_view.readAloud();
    }
    if (m_view.copyToClipboardOption())
        m_view.copyTargetToClipboard();
}
