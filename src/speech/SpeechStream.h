#pragma once

#include "SentencePieces.h"
#include "WavFile.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

// A word of the text and the frame of the utterance at which it starts to sound.
struct WordMark {
    qint64 frame;
    int position;  // UTF-16 units into the utterance's text
    int length;
};

// One utterance on its way from the engine thread, which synthesises it piece
// by piece, to the playback thread, which plays it and announces its words.
class SpeechStream {
public:
    SpeechStream(quint64 utterance, const QString& text, const QString& language, const QString& variant,
                 const QString& wavFolder, const QString& wavTag, bool paced);

    const quint64 utterance;
    const QString text;
    const QString language;  // espeak-ng language code
    const QString variant;   // espeak-ng voice variant, may be empty
    const QList<TextPiece> pieces;
    const QString wavFolder;  // empty: no file
    const QString wavTag;
    // Played on a clock: synthesis keeps only a little ahead of it. Otherwise
    // (files only) it runs at full speed.
    const bool paced;

    // Touched by the engine thread only.
    struct Synthesis {
        int nextPiece = 0;
        int wordEnd = 0;       // end of the last word announced, so parts of one word are not announced again
        qint64 wordFrame = 0;  // and where it was heard
        WavFile wav;
    } synthesis;

    // Engine side: samples and the words that start within them.
    void deliver(const short* samples, int count, QList<WordMark>&& words);
    void finishSynthesis(const QString& error);
    qint64 synthesizedFrames() const { return m_synthesized.load(); }

    // Playback side: everything delivered since the last call.
    struct Delivery {
        QByteArray pcm;
        QList<WordMark> words;
        bool complete = false;  // nothing more will come
        QString error;
    };
    Delivery take();
    void setPlayedFrames(qint64 frames) { m_played.store(frames); }
    qint64 playedFrames() const { return m_played.load(); }

    // Either side: the utterance is to stop at once.
    void cancel() { m_cancelled.store(true); }
    bool cancelled() const { return m_cancelled.load(); }

private:
    std::mutex m_mutex;
    QByteArray m_pcm;
    QList<WordMark> m_words;
    bool m_complete = false;
    QString m_error;
    std::atomic<qint64> m_synthesized{0};
    std::atomic<qint64> m_played{0};
    std::atomic<bool> m_cancelled{false};
};
