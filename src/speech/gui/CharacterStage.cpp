#include "CharacterStage.h"

#include "AgentClock.h"
#include "CharacterCore.h"
#include "CharacterFile.h"
#include "CharacterWindow.h"
#include "EspeakSpeech.h"
#include "Folders.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>

#include <algorithm>
#include <utility>

const QString CharacterStage::CoreFile = QStringLiteral("msagent/agentsvr.exe");
const QString CharacterStage::CharactersFolder = QStringLiteral("msagent/chars");

struct CharacterStage::Loaded {
    QString id;
    std::unique_ptr<CharacterCore> core;
    // owned here; the window goes before the core it shows
    QPointer<CharacterWindow> window;
    ~Loaded() { delete window.data(); }
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

CharacterStage::CharacterStage(QObject* parent, AgentClock* clock)
    : QObject(parent), m_clock(clock ? *clock : SystemAgentClock::instance())
{}

CharacterStage::~CharacterStage()
{
    // each core stops its speech as it goes, before the speech itself goes
    std::exchange(m_unloaded, {}).clear();
    m_loaded.clear();
    m_ownSpeech.reset();
}

void CharacterStage::setConnected(bool connected)
{
    if (!connected) {
        while (!m_loaded.empty())
            unload(m_loaded.front()->id);
        m_connected = false;
        return;
    }
    const QString windows = Folders::windowsFolder();
    if (!Folders::entryExists(windows, CoreFile))
        raise(QStringLiteral("The Agent core is not installed: \"%1/%2\" was not found.").arg(windows, CoreFile));
    m_connected = true;
}

void CharacterStage::load(const QString& characterId, const QString& loadKey)
{
    if (!m_connected)
        raise(QStringLiteral("The Agent is not connected; the character %1 cannot be loaded.").arg(characterId));
    // a load key names a file of the characters folder, nothing elsewhere
    if (loadKey.isEmpty() || loadKey.contains(u'/') || loadKey.contains(u'\\') || loadKey == QLatin1String(".")
        || loadKey == QLatin1String("..") || loadKey.contains(QChar(0)))
        raise(QStringLiteral("The character %1 cannot be loaded: \"%2\" is not a character file name.")
                  .arg(characterId, loadKey));
    const QString windows = Folders::windowsFolder();
    const QString path = Folders::findEntry(windows, CharactersFolder + u'/' + loadKey);
    if (path.isEmpty())
        raise(QStringLiteral("The character file \"%1/%2/%3\" was not found: the character %4 is not installed.")
                  .arg(windows, CharactersFolder, loadKey, characterId));
    const CharacterFile::Result file = CharacterFile::load(path);
    if (!file.data)
        raise(file.error);

    unload(characterId);
    if (!m_speech) {
        m_ownSpeech = std::make_unique<EspeakSpeech>();
        m_speech = m_ownSpeech.get();
    }
    auto loaded = std::make_unique<Loaded>();
    loaded->id = characterId;
    loaded->core = std::make_unique<CharacterCore>(file.data, m_clock, m_speech);
    loaded->core->setPosition(startingPlace(file.data->frameSize));
    loaded->window = new CharacterWindow(*loaded->core);
    // the window is titled with the ID the character was loaded under
    loaded->window->setWindowTitle(characterId);
    // The user's events reach the handlers once the window (and its menu) has finished with
    // them: a handler may wait for a download or a message box, and the events processed
    // meanwhile may close the menu or unload the character.
    const QPointer<CharacterWindow> window = loaded->window;
    connect(
        window, &CharacterWindow::doubleClicked, this,
        [this, characterId, window] {
            if (OnDblClick && stillShown(characterId, window))
                OnDblClick(characterId);
        },
        Qt::QueuedConnection);
    connect(
        window, &CharacterWindow::commandChosen, this,
        [this, characterId, window](const QString& name) {
            if (OnCommand && stillShown(characterId, window))
                OnCommand(AgentUserInput{characterId, name});
        },
        Qt::QueuedConnection);
    connect(loaded->core.get(), &CharacterCore::idleStarted, this, [this, characterId] {
        if (OnIdleStart)
            OnIdleStart(characterId);
    });
    m_loaded.push_back(std::move(loaded));
}

CharacterStage::Loaded* CharacterStage::find(const QString& characterId) const
{
    auto found = std::find_if(m_loaded.begin(), m_loaded.end(), [&](const std::unique_ptr<Loaded>& loaded) {
        return loaded->id.compare(characterId, Qt::CaseInsensitive) == 0;
    });
    return found == m_loaded.end() ? nullptr : found->get();
}

bool CharacterStage::stillShown(const QString& characterId, const CharacterWindow* window) const
{
    const Loaded* loaded = find(characterId);
    return window && loaded && loaded->window == window;
}

AgentCharacter* CharacterStage::character(const QString& characterId)
{
    Loaded* loaded = find(characterId);
    if (!loaded)
        raise(QStringLiteral("The character %1 is not loaded.").arg(characterId));
    return loaded->core.get();
}

void CharacterStage::unload(const QString& characterId)
{
    const Loaded* unloading = find(characterId);
    if (!unloading)
        return;
    auto found = std::find_if(m_loaded.begin(), m_loaded.end(),
                              [&](const std::unique_ptr<Loaded>& loaded) { return loaded.get() == unloading; });
    std::unique_ptr<Loaded> loaded = std::move(*found);
    m_loaded.erase(found);
    loaded->core->stop();
    CharacterWindow* window = loaded->window;
    window->hide();
    window->disconnect(this);
    loaded->core->disconnect(this);
    // The window may be inside one of its own events, under a wait that runs the event loop:
    // it goes when control is back in the loop that handled that event, and its core after it.
    loaded->core->disconnect(window);
    const Loaded* leaving = loaded.get();
    connect(window, &QObject::destroyed, this, [this, leaving] {
        const auto gone = std::ranges::find(m_unloaded, leaving, &std::unique_ptr<Loaded>::get);
        if (gone == m_unloaded.end())
            return;
        (*gone)->window.clear();  // it is on its way already
        m_unloaded.erase(gone);
    });
    window->deleteLater();
    m_unloaded.push_back(std::move(loaded));
}

CharacterCore* CharacterStage::core(const QString& characterId) const
{
    Loaded* loaded = find(characterId);
    return loaded ? loaded->core.get() : nullptr;
}

CharacterWindow* CharacterStage::window(const QString& characterId) const
{
    Loaded* loaded = find(characterId);
    return loaded ? loaded->window.data() : nullptr;
}
