#include "SourceSuggestion.h"

#include "LanguageTable.h"

#include <QCryptographicHash>

#include <algorithm>

SourceSuggestion::Question SourceSuggestion::ask(const QString& text, int source, int target,
                                                 const LanguageDetector::Hints& hints) const
{
    if (std::count_if(text.begin(), text.end(), [](QChar c) { return c.isLetter(); }) < MinimumLetters
        || m_answered.contains(fingerprint(text)))
        return {};
    const LanguageDetector::Result result = LanguageDetector::detect(text, hints);
    if (!result.detected() || result.best().percent < ConfidentPercent)
        return {};
    const int detected = result.best().position;
    // Croatian, Serbian and Bosnian are one language to the engines: none of them prompts for another
    if (LanguageDetector::sameLanguage(detected, source))
        return {};
    const QString found = LanguageTable::displayName(detected);
    const QString keep = QStringLiteral("Keep %1").arg(LanguageTable::displayName(source));
    if (LanguageDetector::sameLanguage(detected, target))
        return {Offer::SwapLanguages, detected,
                QStringLiteral("The text looks %1, the language it is to be translated into. Swap the languages?")
                    .arg(found),
                QStringLiteral("Swap languages"), keep};
    return {Offer::TranslateFrom, detected, QStringLiteral("The text looks %1. Translate from %1?").arg(found),
            QStringLiteral("Translate from %1").arg(found), keep};
}

void SourceSuggestion::remember(const QString& text) { m_answered.insert(fingerprint(text)); }

QByteArray SourceSuggestion::fingerprint(const QString& text)
{
    return QCryptographicHash::hash(QByteArrayView(reinterpret_cast<const char*>(text.utf16()), text.size() * 2),
                                    QCryptographicHash::Sha256);
}
