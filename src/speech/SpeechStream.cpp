#include "SpeechStream.h"

SpeechStream::SpeechStream(quint64 utterance, const QString& text, const QString& language, const QString& variant,
                           const QString& wavFolder, const QString& wavTag, bool paced)
    : utterance(utterance), text(text), language(language), variant(variant), pieces(SentencePieces::split(text)),
      wavFolder(wavFolder), wavTag(wavTag), paced(paced)
{}

void SpeechStream::deliver(const short* samples, int count, QList<WordMark>&& words)
{
    std::lock_guard lock(m_mutex);
    if (count > 0) {
        m_pcm.append(reinterpret_cast<const char*>(samples), qsizetype(count) * 2);
        m_synthesized += count;
    }
    m_words.append(std::move(words));
}

void SpeechStream::finishSynthesis(const QString& error)
{
    std::lock_guard lock(m_mutex);
    m_complete = true;
    m_error = error;
}

SpeechStream::Delivery SpeechStream::take()
{
    std::lock_guard lock(m_mutex);
    Delivery d;
    d.pcm.swap(m_pcm);
    d.words.swap(m_words);
    d.complete = m_complete;
    d.error = m_error;
    return d;
}
