#include "EspeakSpeech.h"

#include "EspeakEngine.h"
#include "Folders.h"
#include "SpeechPlayer.h"
#include "SpeechStream.h"
#include "VoiceTable.h"

#include <QDeadlineTimer>
#include <QMediaDevices>
#include <QThread>

namespace {

constexpr int kAmericanEnglish = 1033;

}  // namespace

EspeakSpeech::Options EspeakSpeech::Options::fromEnvironment()
{
    Options options;
    if (qEnvironmentVariable("LINGUARO_SPEECH_OUTPUT").compare(QLatin1String("silent"), Qt::CaseInsensitive) == 0)
        options.output = Output::Silent;
    options.wavFolder = qEnvironmentVariable("LINGUARO_SPEECH_DIR");
    return options;
}

EspeakSpeech::EspeakSpeech(QObject* parent) : EspeakSpeech(Options::fromEnvironment(), parent) {}

EspeakSpeech::EspeakSpeech(const Options& options, QObject* parent)
    : SpeechOutput(parent), m_options(options), m_engine(EspeakEngine::shared())
{
    QAudioDevice device;
    if (options.output == Options::Output::Automatic) {
        const QList<QAudioDevice> outputs = QMediaDevices::audioOutputs();
        if (!outputs.isEmpty()) {
            device = QMediaDevices::defaultAudioOutput();
            if (device.isNull())
                device = outputs.first();
        }
    }
    m_usesDevice = !device.isNull();

    m_thread = new QThread;
    m_thread->setObjectName(QStringLiteral("speech playback"));
    m_player = new SpeechPlayer(m_engine, device, options.silentPace);
    m_player->moveToThread(m_thread);
    // the player and its sound card go in their own thread
    connect(m_thread, &QThread::finished, m_player, &QObject::deleteLater);
    connect(m_player, &SpeechPlayer::audioStarted, this, &EspeakSpeech::playerStarted);
    connect(m_player, &SpeechPlayer::wordStarted, this, &EspeakSpeech::playerWord);
    connect(m_player, &SpeechPlayer::finished, this, &EspeakSpeech::playerFinished);
    m_thread->start();
}

EspeakSpeech::~EspeakSpeech()
{
    if (m_current)
        m_current->cancel();
    m_engine->wake();
    m_thread->quit();
    if (!m_thread->wait(QDeadlineTimer(5000))) {
        // a sound server that does not answer must not keep the program from ending
        qWarning("Speech playback does not end; it is left behind.");
        return;
    }
    delete m_thread;
}

bool EspeakSpeech::canSpeak(int languageId) const
{
    const Voice* voice = VoiceTable::byLanguageId(languageId);
    if (!voice)
        return false;
    const QString windows = Folders::windowsFolder();
    return Folders::entryExists(windows, QStringLiteral("speech/speech.dll"))
           && Folders::entryExists(windows,
                                   QStringLiteral("speech/engines/") + VoiceTable::engineName(voice->engineInstaller))
           && m_engine->hasLanguage(voice->espeakLanguage);
}

void EspeakSpeech::speak(quint64 utterance, const QString& text, int languageId, const QString& ttsModeId)
{
    const Voice* voice = VoiceTable::byLanguageId(languageId);
    if (!voice)  // a language without a voice of its own is read in American English
        voice = VoiceTable::byLanguageId(kAmericanEnglish);
    if (m_current)
        m_current->cancel();  // the player reports its end before this one starts

    const quint64 serial = ++m_serial;
    auto stream = std::make_shared<SpeechStream>(serial, text, voice->espeakLanguage, VoiceTable::variantFor(ttsModeId),
                                                 m_options.wavFolder, QString::number(languageId),
                                                 m_usesDevice || m_options.silentPace > 0);
    m_open.insert(serial, utterance);
    m_current = stream;
    m_stopping = false;
    m_engine->submit(stream);
    QMetaObject::invokeMethod(
        m_player, [player = m_player, stream] { player->play(stream); }, Qt::QueuedConnection);
}

void EspeakSpeech::stop()
{
    if (!m_current || m_stopping)
        return;
    m_stopping = true;
    m_current->cancel();
    m_engine->wake();
    QMetaObject::invokeMethod(
        m_player, [player = m_player, serial = m_current->utterance] { player->cut(serial); }, Qt::QueuedConnection);
}

int EspeakSpeech::sampleRate() const { return m_engine->sampleRate(); }

void EspeakSpeech::playerStarted(quint64 serial)
{
    if (m_current && m_current->utterance == serial && !m_stopping)
        emit audioStarted(m_open.value(serial));
}

void EspeakSpeech::playerWord(quint64 serial, int position, int length)
{
    // after stop() no more words are revealed, even those already on their way
    if (m_current && m_current->utterance == serial && !m_stopping)
        emit wordStarted(m_open.value(serial), position, length);
}

void EspeakSpeech::playerFinished(quint64 serial, const QString& error)
{
    const auto it = m_open.constFind(serial);
    if (it == m_open.constEnd())
        return;
    const quint64 utterance = *it;
    m_open.erase(it);
    if (m_current && m_current->utterance == serial) {
        m_current.reset();
        m_stopping = false;
    }
    emit finished(utterance, error);
}
