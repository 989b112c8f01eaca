#pragma once

#include <QObject>
#include <QString>

// What a character speaks through: one utterance at a time, each word
// announced as it starts to sound so the balloon can reveal it in step.
// speak() returns at once; the character's request queue decides what comes
// next and waits for finished() before it does.
class SpeechOutput : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~SpeechOutput() override = default;

    // Whether speech in this language sounds on this machine (the speech
    // runtime and the language's engine are installed). Otherwise the
    // character shows its balloon without sound.
    virtual bool canSpeak(int languageId) const = 0;
    // Starts one utterance in the voice of the Windows language ID, varied by
    // the speech-mode ID (a GUID in braces, may be empty).
    virtual void speak(quint64 utterance, const QString& text, int languageId, const QString& ttsModeId) = 0;
    // Silences the utterance under way at once; finished() follows.
    virtual void stop() = 0;

signals:
    // The first sound of the utterance reached the audio output.
    void audioStarted(quint64 utterance);
    // The word at text[position, position + length) starts sounding now.
    void wordStarted(quint64 utterance, int position, int length);
    // The utterance ended: spoken out, stopped, or failed (error not empty).
    void finished(quint64 utterance, const QString& error);
};
