#include "MemoryChunk.h"

#include <QRegularExpression>

namespace {

const QString ParagraphBreak = QStringLiteral("\r\n\r\n");

}  // namespace

MemoryChunk::MemoryChunk(const QString& chunk, const QString& sourceCode)
    : m_chunk(chunk), m_sourceCode(sourceCode), m_cut(SentenceRule::split(chunk, sourceCode)),
      m_known(size_t(m_cut.sentences.size()))
{}

QStringList MemoryChunk::keys() const
{
    QStringList keys = m_cut.sentences;
    if (keys.size() > 1)
        keys << SentenceRule::key(m_chunk);
    return keys;
}

void MemoryChunk::remember(std::span<const std::optional<QString>> answers)
{
    for (size_t i = 0; i < m_known.size() && i < answers.size(); ++i)
        m_known[i] = answers[i];
    if (m_known.size() > 1 && answers.size() > m_known.size())
        m_whole = answers[m_known.size()];
}

int MemoryChunk::knownCount() const
{
    if (m_whole)
        return sentenceCount();
    return int(std::count_if(m_known.begin(), m_known.end(), [](const auto& known) { return known.has_value(); }));
}

QString MemoryChunk::translation() const
{
    if (m_whole)
        return replyGap(m_cut.gaps.constFirst()) + *m_whole + replyGap(m_cut.gaps.constLast());
    std::vector<QString> translations;
    for (const std::optional<QString>& known : m_known)
        translations.push_back(known.value_or(QString()));
    return assembled(translations);
}

QString MemoryChunk::request() const
{
    QStringList unknown;
    for (size_t i = 0; i < m_known.size(); ++i)
        if (!m_known[i])
            unknown << m_cut.sentences.at(qsizetype(i));
    return unknown.join(ParagraphBreak) + QStringLiteral("\r\n");
}

std::optional<MemoryChunk::Answer> MemoryChunk::answer(const QString& reply) const
{
    const QStringList paragraphs = reply.trimmed().split(ParagraphBreak);
    Answer answer;
    std::vector<QString> translations;
    qsizetype next = 0;
    for (size_t i = 0; i < m_known.size(); ++i) {
        if (m_known[i]) {
            translations.push_back(*m_known[i]);
            continue;
        }
        const QString translation = next < paragraphs.size() ? paragraphs.at(next++).trimmed() : QString();
        if (translation.isEmpty())
            return std::nullopt;
        translations.push_back(translation);
        // read apart from the rest, even the piece of a sentence a chunk's end cut off
        answer.learned << SentencePair{m_cut.sentences.at(qsizetype(i)), translation};
    }
    if (next != paragraphs.size())
        return std::nullopt;
    answer.translation = assembled(translations);
    return answer;
}

QList<SentencePair> MemoryChunk::learnedFromWhole(const QStringList& replyLines, const QString& targetCode) const
{
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\r|\n"));
    const QStringList lines = m_chunk.split(lineBreak);
    QList<SentencePair> learned;
    if (lines.size() != replyLines.size())
        return learned;
    // the engine may move a word across a line break, never across a sentence's final mark
    // nor out of the request
    qsizetype lastWithText = lines.size() - 1;
    while (lastWithText > 0 && lines.at(lastWithText).trimmed().isEmpty())
        --lastWithText;
    bool closedBefore = true;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        const bool closed = SentenceRule::endsWithFinalMark(line);
        if (closedBefore && (closed || i == lastWithText)) {
            const QStringList sources = SentenceRule::split(line, m_sourceCode).sentences;
            const QStringList translations = SentenceRule::split(replyLines.at(i), targetCode).sentences;
            if (sources.size() == translations.size())
                for (qsizetype s = 0; s < sources.size(); ++s)
                    learned << SentencePair{sources.at(s), translations.at(s)};
        }
        closedBefore = line.isEmpty() || closed;
    }
    return learned;
}

QString MemoryChunk::replyGap(const QString& gap)
{
    // the service writes each two line breaks (blank lines between them included) as a paragraph
    // break and a single one as a line end, which the reply's reader turns into a space
    qsizetype firstBreak = -1;
    qsizetype afterLast = 0;
    int breaks = 0;
    for (qsizetype i = 0; i < gap.size(); ++i) {
        const QChar c = gap.at(i);
        if (c != u'\n' && c != u'\r' && c != QChar(0x2028) && c != QChar(0x2029))
            continue;
        if (firstBreak < 0)
            firstBreak = i;
        if (c == u'\r' && i + 1 < gap.size() && gap.at(i + 1) == u'\n')
            ++i;
        afterLast = i + 1;
        ++breaks;
    }
    if (breaks == 0)
        return gap;
    return gap.left(firstBreak) + ParagraphBreak.repeated(breaks / 2) + (breaks % 2 ? QStringLiteral(" ") : QString())
           + gap.mid(afterLast);
}

QString MemoryChunk::assembled(const std::vector<QString>& translations) const
{
    QString text = replyGap(m_cut.gaps.constFirst());
    for (size_t i = 0; i < translations.size(); ++i)
        text += translations[i] + replyGap(m_cut.gaps.at(qsizetype(i) + 1));
    return text;
}
