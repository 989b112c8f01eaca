#pragma once

#include "SentenceRule.h"

#include <QList>

#include <optional>
#include <span>
#include <utility>
#include <vector>

// A sentence and its translation, without the whitespace around them.
using SentencePair = std::pair<QString, QString>;

// One chunk of a run as the translation memory sees it: its sentences, the
// memory's translations of those it knows, the request that asks the service
// for the others, and the chunk put together again from both.
class MemoryChunk {
public:
    MemoryChunk(const QString& chunk, const QString& sourceCode);

    // What the memory is asked: each sentence, then the whole chunk when it holds more than
    // one (older history files kept whole chunks, and another tool's segment may span lines).
    QStringList keys() const;
    // Takes the memory's answers to keys(), in their order.
    void remember(std::span<const std::optional<QString>> answers);

    int sentenceCount() const { return int(m_cut.sentences.size()); }
    // How many sentences the memory answered.
    int knownCount() const;
    bool complete() const { return sentenceCount() > 0 && knownCount() == sentenceCount(); }
    // The chunk's translation from the memory alone; complete() only.
    QString translation() const;

    // The sentences the memory lacks, each a paragraph of its own, so the engine reads each
    // apart from the others and its translation comes back as a paragraph of its own.
    QString request() const;
    struct Answer {
        QString translation;          // the whole chunk's
        QList<SentencePair> learned;  // the sentences the service translated
    };
    // The chunk's translation from the service's translation of request(); none when its
    // paragraphs do not line up with the sentences sent.
    std::optional<Answer> answer(const QString& reply) const;
    // The sentences that can be told apart in the service's translation of the whole chunk,
    // given as its lines (ExtractLines): a line of the chunk is paired with its line of the
    // reply when no word can have moved across the line breaks around it (the line and the
    // one before it end at a final mark, or there is none), and then its sentences with those
    // of its translation when they are as many.
    QList<SentencePair> learnedFromWhole(const QStringList& replyLines, const QString& targetCode) const;

private:
    // The whitespace between sentences as a reply of the service gives it back.
    static QString replyGap(const QString& gap);
    QString assembled(const std::vector<QString>& translations) const;

    QString m_chunk;
    QString m_sourceCode;
    SentenceRule::Cut m_cut;
    std::vector<std::optional<QString>> m_known;  // by sentence
    std::optional<QString> m_whole;               // the whole chunk's, when the memory knew it
};
