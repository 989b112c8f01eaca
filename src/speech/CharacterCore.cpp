#include "CharacterCore.h"

#include "AgentClock.h"
#include "SilentSpeech.h"
#include "SpeechOutput.h"

#include <QEasingCurve>

#include <algorithm>
#include <atomic>
#include <utility>

namespace {

// Utterance numbers are unique across characters, which may share one speech output.
quint64 nextUtterance()
{
    static std::atomic<quint64> counter{0};
    return ++counter;
}

// The glide's curve; the window glides along the same one.
double glideProgress(qint64 now, qint64 start, qint64 end)
{
    if (end <= start || now >= end)
        return 1.0;
    return QEasingCurve(QEasingCurve::InOutQuad).valueForProgress(double(now - start) / double(end - start));
}

}  // namespace

CharacterCore::CharacterCore(std::shared_ptr<const CharacterData> data, AgentClock& clock, SpeechOutput* speech,
                             QObject* parent)
    : QObject(parent), m_data(std::move(data)), m_clock(clock), m_timer(clock.createTimer([this] { tick(); })),
      m_speech(speech), m_silent(std::make_unique<SilentSpeech>(clock)),
      m_random(QRandomGenerator::global()->generate())
{
    m_restAnimation = m_data->findAnimation(QStringLiteral("RestPose"));
    m_speakAnimation = m_data->findAnimation(QStringLiteral("Speak"));
    Q_ASSERT(m_restAnimation >= 0 && m_speakAnimation >= 0);  // the loader insists on them
    m_image = m_data->animations[size_t(m_restAnimation)].frames.front().image;
    for (SpeechOutput* output : {static_cast<SpeechOutput*>(m_silent.get()), m_speech}) {
        if (!output)
            continue;
        connect(output, &SpeechOutput::wordStarted, this, &CharacterCore::onWordStarted);
        connect(output, &SpeechOutput::finished, this, &CharacterCore::onSpeechFinished);
    }
}

CharacterCore::~CharacterCore()
{
    // no speech may go on for a character that is gone
    cutSpeech();
}

// --- requests ---

void CharacterCore::show(bool fast) { enqueue({Request::Show, fast, {}, 0, {}, 0, {}, nullptr}); }

void CharacterCore::hide(bool fast) { enqueue({Request::Hide, fast, {}, 0, {}, 0, {}, nullptr}); }

void CharacterCore::moveTo(qint16 x, qint16 y, int speed)
{
    enqueue({Request::Move, false, QPoint(x, y), std::clamp(speed, 0, MaxMoveTime), {}, 0, {}, nullptr});
}

void CharacterCore::play(const QString& animation)
{
    enqueue({Request::Play, false, {}, 0, animation, 0, {}, nullptr});
}

void CharacterCore::speak(const QString& text, const QString&)
{
    // the voice is the one chosen when the text was handed over, not when its turn comes
    enqueue({Request::Speak, false, {}, 0, text, m_languageId, m_ttsModeId, nullptr});
}

void CharacterCore::speakFollowed(const QString& text, const SpeechProgress& progress)
{
    auto follower = std::make_shared<Follower>();
    follower->progress = progress;
    enqueue({Request::Speak, false, {}, 0, text, m_languageId, m_ttsModeId, std::move(follower)});
}

void CharacterCore::stop()
{
    m_queue.clear();
    if (m_current) {
        switch (m_current->kind) {
        case Request::Speak:
            cutSpeech();
            break;
        case Request::Move:
            m_position = position();
            m_moving = false;
            emit positionChanged(m_position);
            break;
        case Request::Hide:
            setVisible(false);
            break;
        default:
            break;
        }
        m_current.reset();
    }
    hideBalloon();
    showRest();
    waitForIdle(IdleDelay);
    schedule();
}

void CharacterCore::setLanguageId(int languageId) { m_languageId = languageId; }
int CharacterCore::languageId() const { return m_languageId; }
void CharacterCore::setTtsModeId(const QString& modeId) { m_ttsModeId = modeId; }
QString CharacterCore::ttsModeId() const { return m_ttsModeId; }

void CharacterCore::addCommand(const QString& name, const QString& caption, int, int enabled, bool visible)
{
    Command command{name, caption, enabled != 0, visible};
    auto same = std::find_if(m_commands.begin(), m_commands.end(), [&](const Command& c) { return c.name == name; });
    if (same != m_commands.end())
        *same = std::move(command);
    else
        m_commands.push_back(std::move(command));
    emit commandsChanged();
}

void CharacterCore::enqueue(Request request)
{
    m_queue.push_back(std::move(request));
    if (!m_current)
        startNext();
    schedule();
}

void CharacterCore::startNext()
{
    while (!m_current && !m_queue.empty()) {
        m_current = std::move(m_queue.front());
        m_queue.pop_front();
        m_idleAt.reset();
        m_idleAnnounced = false;
        begin(*m_current);
    }
    if (!m_current)
        waitForIdle(IdleDelay);
}

// Starts a request; one that has nothing to do ends here (m_current is reset).
void CharacterCore::begin(const Request& request)
{
    const Request::Kind kind = request.kind;
    const int animation = kind == Request::Show   ? m_data->findAnimation(QStringLiteral("Show"))
                          : kind == Request::Hide ? m_data->findAnimation(QStringLiteral("Hide"))
                          : kind == Request::Play ? m_data->findAnimation(request.text)
                                                  : -1;
    switch (kind) {
    case Request::Show:
    case Request::Hide:
        if (m_visible == (kind == Request::Show) || request.fast) {
            setVisible(kind == Request::Show);
            showRest();
            m_current.reset();
            return;
        }
        if (kind == Request::Show)
            setVisible(true);
        m_chain = 0;
        startAnimation(animation, Purpose::Request);
        return;
    case Request::Play:
        if (animation < 0) {  // not one of this character's animations
            m_current.reset();
            return;
        }
        m_chain = 0;
        startAnimation(animation, Purpose::Request);
        return;
    case Request::Move:
        showRest();
        if (request.duration == 0 || request.target == m_position) {
            m_position = request.target;
            emit positionChanged(m_position);
            m_current.reset();
            return;
        }
        m_moving = true;
        m_moveFrom = m_position;
        m_moveStart = m_clock.now();
        m_moveEnd = m_moveStart + request.duration;
        m_position = request.target;
        emit moveStarted(m_moveFrom, request.target, request.duration);
        return;
    case Request::Speak: {
        if (request.text.trimmed().isEmpty()) {
            m_current.reset();
            return;
        }
        showRest();
        m_utteranceOutput = m_speech && m_speech->canSpeak(request.languageId) ? m_speech : m_silent.get();
        m_utterance = nextUtterance();
        m_balloon.start(request.text);
        m_balloonVisible = true;
        m_balloonHideAt.reset();
        emit balloonChanged();
        m_utteranceOutput->speak(m_utterance, request.text, request.languageId, request.ttsModeId);
        return;
    }
    }
}

void CharacterCore::finishRequest()
{
    if (m_current && m_current->kind == Request::Hide)
        setVisible(false);
    m_current.reset();
    showRest();
    startNext();
}

// --- time ---

void CharacterCore::tick()
{
    const qint64 now = m_clock.now();
    if (m_balloonHideAt && now >= *m_balloonHideAt)
        hideBalloon();
    if (m_moving && now >= m_moveEnd) {
        m_moving = false;
        emit positionChanged(m_position);
        finishRequest();
    }
    // a late timer catches up, but never spins through a whole animation at once
    for (int step = 0; m_animation >= 0 && now >= m_frameDue && step < 64; ++step)
        nextFrame(now);
    if (m_animation >= 0 && now >= m_frameDue)
        m_frameDue = now;
    if (m_idleAt && now >= *m_idleAt) {
        m_idleAt.reset();
        const bool announce = !m_idleAnnounced;
        m_idleAnnounced = true;
        if (!m_data->idle.empty() && m_visible) {
            m_chain = 0;
            startAnimation(m_data->idle[size_t(chooseWeighted(m_data->idle))].target, Purpose::Idle);
        } else {
            waitForIdle(IdleDelay);
        }
        schedule();
        if (announce)
            emit idleStarted();
    }
    schedule();
}

void CharacterCore::schedule()
{
    std::optional<qint64> due;
    auto consider = [&](std::optional<qint64> when) {
        if (when && (!due || *when < *due))
            due = when;
    };
    if (m_animation >= 0)
        consider(m_frameDue);
    if (m_moving)
        consider(m_moveEnd);
    consider(m_balloonHideAt);
    consider(m_idleAt);
    if (due)
        m_timer->startAt(*due);
    else
        m_timer->stop();
}

void CharacterCore::waitForIdle(qint64 delay)
{
    if (m_current || !m_queue.empty() || !m_visible) {
        m_idleAt.reset();
        return;
    }
    m_idleAt = m_clock.now() + delay;
}

// --- animation ---

QPoint CharacterCore::position() const
{
    if (!m_moving)
        return m_position;
    const double progress = glideProgress(m_clock.now(), m_moveStart, m_moveEnd);
    return m_moveFrom + (m_position - m_moveFrom) * progress;
}

void CharacterCore::setPosition(QPoint position)
{
    const bool wasMoving = m_moving;
    m_moving = false;
    m_position = position;
    emit positionChanged(position);
    if (wasMoving) {
        finishRequest();
        schedule();
    }
}

CharacterCore::Activity CharacterCore::activity() const
{
    if (!m_current)
        return Activity::Idle;
    switch (m_current->kind) {
    case Request::Move:
        return Activity::Moving;
    case Request::Speak:
        return Activity::Speaking;
    default:
        return Activity::Playing;
    }
}

QString CharacterCore::currentAnimation() const
{
    return m_animation >= 0 ? m_data->animations[size_t(m_animation)].name : QString();
}

void CharacterCore::setImage(int image)
{
    if (image == m_image)
        return;
    m_image = image;
    emit frameChanged();
}

void CharacterCore::setVisible(bool visible)
{
    if (visible == m_visible)
        return;
    m_visible = visible;
    if (!visible)
        hideBalloon();
    emit visibleChanged(visible);
}

void CharacterCore::showRest()
{
    m_animation = -1;
    setImage(m_data->animations[size_t(m_restAnimation)].frames.front().image);
}

void CharacterCore::startAnimation(int animation, Purpose purpose)
{
    const qint64 now = m_clock.now();
    if (m_chain == 0)
        m_animationStart = now;
    m_animation = animation;
    m_purpose = purpose;
    m_frame = 0;
    const CharacterFrame& frame = m_data->animations[size_t(animation)].frames.front();
    m_frameDue = now + frame.duration;
    // a new animation is news even when its first picture is the one already shown: a late clock
    // may cut it short before its picture ever changes
    m_image = frame.image;
    emit frameChanged();
}

void CharacterCore::nextFrame(qint64 now)
{
    const CharacterAnimation& animation = m_data->animations[size_t(m_animation)];
    if (m_purpose != Purpose::Speaking && now - m_animationStart >= MaxAnimationTime) {
        animationEnded(true);
        return;
    }
    const CharacterFrame& frame = animation.frames[size_t(m_frame)];
    int next = m_frame + 1;
    const int roll = int(m_random.bounded(100));
    int share = 0;
    for (const CharacterBranch& branch : frame.branches) {
        share += branch.weight;
        if (roll < share) {
            next = branch.target;
            break;
        }
    }
    if (next >= int(animation.frames.size())) {
        animationEnded(false);
        return;
    }
    m_frame = next;
    m_frameDue += animation.frames[size_t(next)].duration;
    setImage(animation.frames[size_t(next)].image);
}

void CharacterCore::animationEnded(bool cutShort)
{
    const CharacterAnimation& animation = m_data->animations[size_t(m_animation)];
    if (m_purpose == Purpose::Speaking) {
        // the mouth goes on while the speech does
        m_frame = 0;
        m_frameDue = m_clock.now() + animation.frames.front().duration;
        setImage(animation.frames.front().image);
        return;
    }
    if (!cutShort && !animation.next.empty() && m_chain < MaxChain) {
        ++m_chain;
        startAnimation(animation.next[size_t(chooseWeighted(animation.next))].target, m_purpose);
        return;
    }
    if (m_purpose == Purpose::Idle) {
        showRest();
        waitForIdle(IdleDelay + m_random.bounded(IdleDelay));
        return;
    }
    m_animation = -1;
    finishRequest();
}

int CharacterCore::chooseWeighted(const std::vector<CharacterBranch>& choices)
{
    int total = 0;
    for (const CharacterBranch& choice : choices)
        total += choice.weight;
    int roll = int(m_random.bounded(std::max(total, 1)));
    for (size_t i = 0; i < choices.size(); ++i) {
        roll -= choices[i].weight;
        if (roll < 0)
            return int(i);
    }
    return 0;
}

// --- speech ---

void CharacterCore::cutSpeech()
{
    if (!m_utterance)
        return;
    m_utterance = 0;
    SpeechOutput* output = std::exchange(m_utteranceOutput, nullptr);
    output->stop();
}

void CharacterCore::hideBalloon()
{
    m_balloonHideAt.reset();
    if (!m_balloonVisible)
        return;
    m_balloonVisible = false;
    m_balloon.clear();
    emit balloonChanged();
}

void CharacterCore::onWordStarted(quint64 utterance, int position, int length)
{
    if (utterance != m_utterance || !utterance)
        return;
    // the pane shows the word before the balloon does, so both show it when the balloon is painted
    if (m_current && m_current->follower && m_current->follower->progress.word)
        m_current->follower->progress.word(position, length);
    m_balloon.reveal(position, length);
    emit balloonChanged();
    // each word opens the mouth anew
    m_chain = 0;
    startAnimation(m_speakAnimation, Purpose::Speaking);
    schedule();
}

void CharacterCore::onSpeechFinished(quint64 utterance, const QString&)
{
    if (utterance != m_utterance || !utterance)
        return;
    m_utterance = 0;
    m_utteranceOutput = nullptr;
    m_balloon.revealRest();
    m_balloonHideAt = m_clock.now() + BalloonLinger;
    emit balloonChanged();
    finishRequest();
    schedule();
}
