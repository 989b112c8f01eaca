#pragma once

#include "SpeechOutput.h"

#include <memory>

class AgentClock;
class ClockTimer;

// Speech without sound: announces each word at a reading pace, so the
// balloon shows the text as if it were spoken. Used for every language the
// machine cannot speak.
class SilentSpeech : public SpeechOutput {
    Q_OBJECT
public:
    explicit SilentSpeech(AgentClock& clock, QObject* parent = nullptr);
    ~SilentSpeech() override;

    // It never makes a sound.
    bool canSpeak(int languageId) const override;
    void speak(quint64 utterance, const QString& text, int languageId, const QString& ttsModeId) override;
    void stop() override;

    // How long a word stays before the next one: a little over 200 words a
    // minute, longer for long words, with a pause after punctuation.
    static int readingTime(const QString& text, int position, int length);

private:
    void nextWord();

    AgentClock& m_clock;
    std::unique_ptr<ClockTimer> m_timer;
    quint64 m_utterance = 0;
    QString m_text;
    int m_position = 0;  // where the next word is looked for
    bool m_active = false;
};
