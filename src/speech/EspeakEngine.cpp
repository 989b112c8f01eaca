#include "EspeakEngine.h"

#include "SpeechStream.h"

#include <QtDebug>

#include <espeak-ng/speak_lib.h>

#include <cstring>
#include <pthread.h>
#include <vector>

namespace {

std::mutex g_sharedMutex;
std::weak_ptr<EspeakEngine> g_shared;

// espeak-ng's state belongs to the process, not to an engine object: a new
// engine waits here until the thread of the one before it has let go.
std::mutex g_ownerMutex;
struct {
    bool tried = false;
    int sampleRate = 0;
    QString error;
    QHash<QString, QString> voices;
} g_library;

// espeak-ng hands over samples in steps of this many milliseconds; short
// steps bring the first sound and a stop sooner.
constexpr int kStepMs = 50;

// Signs that join the parts of one written word.
bool isJoiner(QChar c) { return c == u'-' || c == u'\'' || c == u'\u2019' || c == u'\u2010'; }

bool isWordSign(QChar c) { return c.isLetterOrNumber() || c.isMark(); }

// The piece being synthesised, seen by the synthesis callback.
struct ActivePiece {
    SpeechStream* stream;
    const std::atomic<bool>* quit;
    int sampleRate;
    qint64 startFrame;  // where the piece starts in the utterance
    int textStart;      // where the piece starts in the text
    QString text;
    std::vector<int> offsets;  // UTF-16 offset of each code point, and the end

    bool stopping() const { return quit->load() || stream->cancelled(); }

    void mapCodePoints()
    {
        offsets.clear();
        for (int i = 0; i < text.size();) {
            offsets.push_back(i);
            i += (text.at(i).isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) ? 2 : 1;
        }
        offsets.push_back(int(text.size()));
    }

    // espeak-ng counts code points from 1; the balloon needs UTF-16 positions.
    void addWord(const espeak_EVENT& event, QList<WordMark>& words)
    {
        const int codePoints = int(offsets.size()) - 1;
        const int first = std::max(event.text_position - 1, 0);
        if (first >= codePoints)
            return;
        int begin = offsets[size_t(first)];
        int end = event.length > 0 ? offsets[size_t(std::min(first + event.length, codePoints))] : begin;
        if (end <= begin) {
            end = begin;
            while (end < text.size() && !text.at(end).isSpace())
                ++end;
        }
        // espeak-ng reports only the first part of "по-русски"; the balloon shows the written word
        while (end < text.size() && text.at(end).isMark())
            ++end;
        while (end + 1 < text.size() && isJoiner(text.at(end)) && text.at(end + 1).isLetterOrNumber()) {
            ++end;
            while (end < text.size() && (text.at(end).isLetterOrNumber() || text.at(end).isMark()))
                ++end;
        }
        while (begin < end && text.at(begin).isSpace())
            ++begin;
        while (end > begin && text.at(end - 1).isSpace())
            --end;
        if (end <= begin)
            return;
        // numbers are read in parts, each reported again from inside the written word
        SpeechStream::Synthesis& synthesis = stream->synthesis;
        if (textStart + begin < synthesis.wordEnd)
            return;
        const qint64 frame = startFrame + qint64(event.audio_position) * sampleRate / 1000;
        addSkippedWords(begin, frame, words);
        synthesis.wordEnd = textStart + end;
        synthesis.wordFrame = frame;
        words.append({frame, textStart + begin, end - begin});
    }

    // Short words read together with the next one ("of the voice") get no
    // event of their own: they are announced evenly between their neighbours.
    // `until` is a position in the piece, `untilFrame` the frame reached there.
    void addSkippedWords(int until, qint64 untilFrame, QList<WordMark>& words)
    {
        SpeechStream::Synthesis& synthesis = stream->synthesis;
        QList<std::pair<int, int>> skipped;
        for (int at = std::max(synthesis.wordEnd - textStart, 0); at < until;) {
            while (at < until && text.at(at).isSpace())
                ++at;
            int end = at;
            while (end < until && !text.at(end).isSpace())
                ++end;
            int first = at, last = end;
            while (first < last && !isWordSign(text.at(first)))
                ++first;
            while (last > first && !isWordSign(text.at(last - 1)))
                --last;
            if (last > first)
                skipped.append({first, last});
            at = end;
        }
        const qint64 fromFrame = std::min(synthesis.wordFrame, untilFrame);
        for (qsizetype i = 0; i < skipped.size(); ++i) {
            const qint64 frame = fromFrame + (untilFrame - fromFrame) * (i + 1) / (skipped.size() + 1);
            words.append({frame, textStart + skipped[i].first, skipped[i].second - skipped[i].first});
            synthesis.wordFrame = frame;
        }
        if (!skipped.isEmpty())
            synthesis.wordEnd = textStart + skipped.last().second;
    }
};

thread_local ActivePiece* t_piece = nullptr;

int onSynthesis(short* samples, int count, espeak_EVENT* events)
{
    ActivePiece* piece = t_piece;
    if (!piece || piece->stopping())
        return 1;  // espeak-ng ends the text at once
    QList<WordMark> words;
    for (const espeak_EVENT* event = events; event && event->type != espeakEVENT_LIST_TERMINATED; ++event)
        if (event->type == espeakEVENT_WORD)
            piece->addWord(*event, words);
    if (!samples || count < 0)
        count = 0;
    piece->stream->synthesis.wav.append(samples, count);
    if (count > 0 || !words.isEmpty())
        piece->stream->deliver(samples, count, std::move(words));
    return 0;
}

void startLibrary()
{
    if (g_library.tried)
        return;
    g_library.tried = true;
    const int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, kStepMs, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (rate <= 0) {
        g_library.error = QStringLiteral("espeak-ng could not start: its data files are missing or damaged.");
        return;
    }
    g_library.sampleRate = rate;
    // the voice that names a language with the highest priority speaks it
    QHash<QString, int> priorities;
    for (const espeak_VOICE** voice = espeak_ListVoices(nullptr); voice && *voice; ++voice) {
        const QString identifier = QString::fromUtf8((*voice)->identifier);
        if (identifier.startsWith(QLatin1String("mb/")))
            continue;  // MBROLA voices need a program that may not be there
        for (const char* entry = (*voice)->languages; entry && *entry; entry += std::strlen(entry + 1) + 2) {
            const int priority = *entry;
            const QString code = QString::fromUtf8(entry + 1).toLower();
            auto known = priorities.constFind(code);
            if (known == priorities.constEnd() || priority < *known) {
                priorities.insert(code, priority);
                g_library.voices.insert(code, identifier);
            }
        }
    }
}

}  // namespace

std::shared_ptr<EspeakEngine> EspeakEngine::shared()
{
    std::lock_guard lock(g_sharedMutex);
    std::shared_ptr<EspeakEngine> engine = g_shared.lock();
    if (!engine) {
        engine.reset(new EspeakEngine);
        g_shared = engine;
    }
    return engine;
}

EspeakEngine::EspeakEngine()
{
    m_thread = std::thread(&EspeakEngine::run, this);
    pthread_setname_np(m_thread.native_handle(), "espeak-ng");
}

EspeakEngine::~EspeakEngine()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

int EspeakEngine::sampleRate()
{
    std::unique_lock lock(m_startMutex);
    m_startedCondition.wait(lock, [this] { return m_started; });
    return m_sampleRate;
}

QString EspeakEngine::startError()
{
    sampleRate();
    return m_startError;
}

bool EspeakEngine::hasLanguage(const QString& code)
{
    sampleRate();
    return m_voiceForLanguage.contains(code.toLower());
}

void EspeakEngine::submit(const std::shared_ptr<SpeechStream>& stream)
{
    {
        std::lock_guard lock(m_mutex);
        m_streams.push_back(stream);
    }
    m_wake.notify_all();
}

void EspeakEngine::wake()
{
    {
        std::lock_guard lock(m_mutex);
    }  // orders the wake-up after the engine's look
    m_wake.notify_all();
}

void EspeakEngine::start()
{
    startLibrary();
    espeak_SetSynthCallback(&onSynthesis);
    std::lock_guard lock(m_startMutex);
    m_sampleRate = g_library.sampleRate;
    m_startError = g_library.error;
    m_voiceForLanguage = g_library.voices;
    m_started = true;
    m_startedCondition.notify_all();
}

void EspeakEngine::run()
{
    std::lock_guard owner(g_ownerMutex);
    start();
    for (;;) {
        std::shared_ptr<SpeechStream> stream;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [&] { return m_quit.load() || nextReady(stream); });
            if (m_quit)
                return;
        }
        synthesizeNextPiece(*stream);
    }
}

// Under m_mutex. Drops cancelled utterances; takes the first one that may go
// on and moves it to the back, so several speakers take turns piece by piece.
bool EspeakEngine::nextReady(std::shared_ptr<SpeechStream>& stream)
{
    const qint64 lookahead = qint64(m_sampleRate) * LookaheadMs / 1000;
    for (auto it = m_streams.begin(); it != m_streams.end();) {
        SpeechStream& candidate = **it;
        if (candidate.cancelled()) {
            candidate.synthesis.wav.close();
            candidate.finishSynthesis({});
            it = m_streams.erase(it);
            continue;
        }
        const bool lastDone = candidate.synthesis.nextPiece >= candidate.pieces.size();
        if (lastDone || m_sampleRate == 0 || !candidate.paced
            || candidate.synthesizedFrames() - candidate.playedFrames() < lookahead) {
            stream = *it;
            m_streams.erase(it);
            m_streams.push_back(stream);
            return true;
        }
        ++it;
    }
    return false;
}

void EspeakEngine::synthesizeNextPiece(SpeechStream& stream)
{
    SpeechStream::Synthesis& synthesis = stream.synthesis;
    auto finish = [&](const QString& error) {
        synthesis.wav.close();
        stream.finishSynthesis(error);
        std::lock_guard lock(m_mutex);
        std::erase_if(m_streams, [&](const auto& s) { return s.get() == &stream; });
    };
    if (m_sampleRate == 0)
        return finish(m_startError);
    if (synthesis.nextPiece == 0 && !stream.wavFolder.isEmpty() && !synthesis.wav.isOpen()
        && !synthesis.wav.create(stream.wavFolder, stream.wavTag, m_sampleRate))
        qWarning("Speech is not written to a file: %s", qPrintable(synthesis.wav.error()));
    if (synthesis.nextPiece >= stream.pieces.size())
        return finish({});
    const QString voiceError = selectVoice(stream);
    if (!voiceError.isEmpty())
        return finish(voiceError);

    const TextPiece piece = stream.pieces.at(synthesis.nextPiece++);
    ActivePiece active{&stream,
                       &m_quit,
                       m_sampleRate,
                       stream.synthesizedFrames(),
                       piece.start,
                       stream.text.mid(piece.start, piece.length),
                       {}};
    active.text.replace(QChar(0), QChar(u' '));  // a NUL would end the text early
    active.mapCodePoints();
    const QByteArray utf8 = active.text.toUtf8();
    t_piece = &active;
    const espeak_ERROR result = espeak_Synth(utf8.constData(), size_t(utf8.size()) + 1, 0, POS_CHARACTER, 0,
                                             espeakCHARS_UTF8, nullptr, nullptr);
    t_piece = nullptr;
    if (active.stopping())
        return;  // dropped by nextReady, or the engine is ending
    if (result != EE_OK)
        return finish(QStringLiteral("espeak-ng could not speak the text (error %1).").arg(int(result)));
    QList<WordMark> tail;
    active.addSkippedWords(int(active.text.size()), stream.synthesizedFrames(), tail);
    if (!tail.isEmpty())
        stream.deliver(nullptr, 0, std::move(tail));
    if (synthesis.nextPiece >= stream.pieces.size())
        finish({});
}

QString EspeakEngine::selectVoice(const SpeechStream& stream)
{
    const QString identifier = m_voiceForLanguage.value(stream.language.toLower());
    if (identifier.isEmpty())
        return QStringLiteral("espeak-ng has no voice for the language \"%1\".").arg(stream.language);
    QString wanted = stream.variant.isEmpty() ? identifier : identifier + u'+' + stream.variant;
    if (wanted == m_voice)
        return {};
    if (espeak_SetVoiceByName(wanted.toUtf8().constData()) != EE_OK) {
        // without its variant the language still speaks
        if (wanted == identifier || espeak_SetVoiceByName(identifier.toUtf8().constData()) != EE_OK) {
            m_voice.clear();
            return QStringLiteral("espeak-ng could not load the voice \"%1\".").arg(identifier);
        }
        wanted = identifier;
    }
    m_voice = wanted;
    return {};
}
