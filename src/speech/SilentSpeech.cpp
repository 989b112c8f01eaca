#include "SilentSpeech.h"

#include "AgentClock.h"

#include <algorithm>

SilentSpeech::SilentSpeech(AgentClock& clock, QObject* parent)
    : SpeechOutput(parent), m_clock(clock), m_timer(clock.createTimer([this] { nextWord(); }))
{}

SilentSpeech::~SilentSpeech() = default;

bool SilentSpeech::canSpeak(int) const { return false; }

void SilentSpeech::speak(quint64 utterance, const QString& text, int, const QString&)
{
    stop();
    m_utterance = utterance;
    m_text = text;
    m_position = 0;
    m_active = true;
    // the first word comes from the event loop, never from inside this call
    m_timer->startAt(0);
}

void SilentSpeech::stop()
{
    if (!m_active)
        return;
    m_active = false;
    m_timer->stop();
    m_text.clear();
    emit finished(m_utterance, QString());
}

int SilentSpeech::readingTime(const QString& text, int position, int length)
{
    int time = 150 + 30 * std::min(length, 30);
    const QChar last =
        position + length > 0 && position + length <= text.size() ? text[position + length - 1] : QChar();
    if (last == u'.' || last == u'!' || last == u'?' || last == u'\x3002')
        time += 300;
    else if (last == u',' || last == u';' || last == u':' || last == u'\x3001')
        time += 150;
    return time;
}

void SilentSpeech::nextWord()
{
    if (!m_active)
        return;
    const int size = int(m_text.size());
    int start = m_position;
    while (start < size && m_text[start].isSpace())
        ++start;
    if (start >= size) {
        m_active = false;
        m_text.clear();
        emit finished(m_utterance, QString());
        return;
    }
    int end = start;
    while (end < size && !m_text[end].isSpace())
        ++end;
    m_position = end;
    // the word's time starts now; the receiver may call stop() or speak()
    const quint64 utterance = m_utterance;
    m_timer->startAt(m_clock.now() + readingTime(m_text, start, end - start));
    emit wordStarted(utterance, start, end - start);
}
