#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

// What a piece's translation depends on: the two languages, the service, and
// the version of the engine data on the route between them.
struct MemoryKey {
    QString sourceCode;
    QString targetCode;
    QString endpoint;
    QString engineVersion;
};

// Translations of sentences sent before, which a job gives again instead of
// asking the service. Called on a job's worker thread, never on the window's.
class TranslationMemory {
public:
    virtual ~TranslationMemory() = default;
    // The known translation of each of `pieces` (sentences or whole chunks, as
    // SentenceRule::Key gives them) for `key`, by position; none where the
    // memory holds nothing (or cannot be read).
    virtual std::vector<std::optional<QString>> lookUp(const MemoryKey& key, const QStringList& pieces) = 0;
};
