#include "TAgent.h"

#include "AgentClock.h"
#include "CharacterCore.h"
#include "CharacterFile.h"
#include "CharacterWindow.h"
#include "EspeakSpeech.h"
#include "Folders.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <algorithm>

const QString TAgent::CoreFile = QStringLiteral("msagent/agentsvr.exe");
const QString TAgent::CharactersFolder = QStringLiteral("msagent/chars");

struct TAgent::Loaded {
    QString id;
    // the window goes before the core it shows
    std::unique_ptr<CharacterCore> core;
    std::unique_ptr<CharacterWindow> window;
};

namespace {

[[noreturn]] void raise(const QString& message) { throw AgentError(message.toStdString()); }

// Where a new character stands: the lower right corner of the main screen.
QPoint startingPlace(QSize frame)
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QPoint(0, 0);
    const QRect area = screen->availableGeometry();
    return area.bottomRight() - QPoint(frame.width() + 40, frame.height() + 40);
}

}  // namespace

TAgent::TAgent(QObject* parent, AgentClock* clock)
    : QObject(parent), m_clock(clock ? *clock : SystemAgentClock::instance())
{
}

TAgent::~TAgent()
{
    // each core stops its speech as it goes, before the speech itself goes
    m_unloaded.clear();
    m_loaded.clear();
    m_ownSpeech.reset();
}

void TAgent::SetConnected(bool connected)
{
    if (!connected) {
        while (!m_loaded.empty())
            Unload(m_loaded.front()->id);
        m_connected = false;
        return;
    }
    const QString windows = Folders::WindowsFolder();
    if (!Folders::EntryExists(windows, CoreFile))
        raise(QStringLiteral("The Agent core is not installed: \"%1/%2\" was not found.").arg(windows, CoreFile));
    m_connected = true;
}

void TAgent::Load(const QString& characterId, const QString& loadKey)
{
    if (!m_connected)
        raise(QStringLiteral("The Agent is not connected; the character %1 cannot be loaded.").arg(characterId));
    // a load key names a file of the characters folder, nothing elsewhere
    if (loadKey.isEmpty() || loadKey.contains(u'/') || loadKey.contains(u'\\') || loadKey == QLatin1String(".")
        || loadKey == QLatin1String("..") || loadKey.contains(QChar(0)))
        raise(QStringLiteral("The character %1 cannot be loaded: \"%2\" is not a character file name.").arg(characterId, loadKey));
    const QString windows = Folders::WindowsFolder();
    const QString path = Folders::FindEntry(windows, CharactersFolder + u'/' + loadKey);
    if (path.isEmpty())
        raise(QStringLiteral("The character file \"%1/%2/%3\" was not found: the character %4 is not installed.")
                  .arg(windows, CharactersFolder, loadKey, characterId));
    const CharacterFile::Result file = CharacterFile::load(path);
    if (!file.data)
        raise(file.error);

    Unload(characterId);
    if (!m_speech) {
        m_ownSpeech = std::make_unique<EspeakSpeech>();
        m_speech = m_ownSpeech.get();
    }
    auto loaded = std::make_unique<Loaded>();
    loaded->id = characterId;
    loaded->core = std::make_unique<CharacterCore>(file.data, m_clock, m_speech);
    loaded->core->setPosition(startingPlace(file.data->frameSize));
    loaded->window = std::make_unique<CharacterWindow>(*loaded->core);
    // the window is titled with the ID the character was loaded under
    loaded->window->setWindowTitle(characterId);
    connect(loaded->window.get(), &CharacterWindow::doubleClicked, this, [this, characterId] {
        if (OnDblClick)
            OnDblClick(characterId);
    });
    connect(loaded->window.get(), &CharacterWindow::commandChosen, this, [this, characterId](const QString& name) {
        if (OnCommand)
            OnCommand(AgentUserInput{characterId, name});
    });
    connect(loaded->core.get(), &CharacterCore::idleStarted, this, [this, characterId] {
        if (OnIdleStart)
            OnIdleStart(characterId);
    });
    m_loaded.push_back(std::move(loaded));
}

TAgent::Loaded* TAgent::find(const QString& characterId) const
{
    auto found = std::find_if(m_loaded.begin(), m_loaded.end(), [&](const std::unique_ptr<Loaded>& loaded) {
        return loaded->id.compare(characterId, Qt::CaseInsensitive) == 0;
    });
    return found == m_loaded.end() ? nullptr : found->get();
}

AgentCharacter* TAgent::Character(const QString& characterId)
{
    Loaded* loaded = find(characterId);
    if (!loaded)
        raise(QStringLiteral("The character %1 is not loaded.").arg(characterId));
    return loaded->core.get();
}

void TAgent::Unload(const QString& characterId)
{
    const Loaded* unloading = find(characterId);
    if (!unloading)
        return;
    auto found = std::find_if(m_loaded.begin(), m_loaded.end(),
                              [&](const std::unique_ptr<Loaded>& loaded) { return loaded.get() == unloading; });
    std::unique_ptr<Loaded> loaded = std::move(*found);
    m_loaded.erase(found);
    loaded->core->Stop();
    loaded->window->hide();
    loaded->window->disconnect(this);
    loaded->core->disconnect(this);
    m_unloaded.push_back(std::move(loaded));
    QTimer::singleShot(0, this, [this] { m_unloaded.clear(); });
}

CharacterCore* TAgent::core(const QString& characterId) const
{
    Loaded* loaded = find(characterId);
    return loaded ? loaded->core.get() : nullptr;
}

CharacterWindow* TAgent::window(const QString& characterId) const
{
    Loaded* loaded = find(characterId);
    return loaded ? loaded->window.get() : nullptr;
}
