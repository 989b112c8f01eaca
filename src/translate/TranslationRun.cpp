#include "TranslationRun.h"

#include "ServiceExchange.h"

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
}
