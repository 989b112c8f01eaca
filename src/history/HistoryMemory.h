#pragma once

#include "TranslationMemory.h"

// The translation memory in a history file, for translation jobs: each lookup
// reads through a read-only connection of its own on the job's worker thread,
// so a writer holding the file never holds up the window.
class HistoryMemory : public TranslationMemory {
public:
    // busyTimeoutMs: how long a lookup waits for a file another program holds
    // before it counts every piece as unknown.
    explicit HistoryMemory(QString path, int busyTimeoutMs = 200);

    std::vector<std::optional<QString>> lookUp(const MemoryKey& key, const QStringList& pieces) override;

private:
    QString m_path;
    int m_busyTimeoutMs;
};
