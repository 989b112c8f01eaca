#pragma once

#include "AgentCharacter.h"
#include "BalloonText.h"
#include "CharacterData.h"

#include <QObject>
#include <QPoint>
#include <QRandomGenerator>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

class AgentClock;
class ClockTimer;
class SilentSpeech;
class SpeechOutput;

// One character without its window: the request queue, the animation that
// is showing, where the figure stands and what its balloon says. Driven by
// one timer of its clock, so tests run it on a clock of their own; the
// window only paints what it reads here.
class CharacterCore : public QObject, public AgentCharacter {
    Q_OBJECT
public:
    enum class Activity { Idle, Playing, Speaking, Moving };

    struct Command {
        QString name;
        QString caption;  // with "&" before the access key
        bool enabled = true;
        bool visible = true;
    };

    // speech may be null, then every Speak is silent; it must outlive the core.
    CharacterCore(std::shared_ptr<const CharacterData> data, AgentClock& clock, SpeechOutput* speech = nullptr,
                  QObject* parent = nullptr);
    ~CharacterCore() override;

    // how long the character stands still before it does something of its own
    static constexpr int IdleDelay = 12000;
    // how long a balloon stays once its speech has ended
    static constexpr int BalloonLinger = 2500;
    // a request's animation ends after this long, whatever its frames say
    static constexpr int MaxAnimationTime = 30000;
    // how many animations one request may lead on to
    static constexpr int MaxChain = 8;
    // the longest glide, in milliseconds
    static constexpr int MaxMoveTime = 10000;

    // --- AgentCharacter ---
    void show(bool fast) override;
    void hide(bool fast) override;
    void moveTo(qint16 x, qint16 y, int speed) override;
    void play(const QString& animation) override;
    void speak(const QString& text, const QString& url = QString()) override;
    void speakFollowed(const QString& text, const SpeechProgress& progress) override;
    void stop() override;
    void setLanguageId(int languageId) override;
    int languageId() const override;
    void setTtsModeId(const QString& modeId) override;
    QString ttsModeId() const override;
    void addCommand(const QString& name, const QString& caption, int voice, int enabled, bool visible) override;

    // --- what the window shows ---
    const CharacterData& data() const { return *m_data; }
    QString id() const { return m_data->id; }
    Activity activity() const;
    bool isVisible() const { return m_visible; }
    // Where the figure's top-left corner stands on the screen now (between
    // start and end of a glide too).
    QPoint position() const;
    // Puts the figure there at once (placing it, or the user dragging it);
    // a glide under way ends there.
    void setPosition(QPoint position);
    int currentImage() const { return m_image; }
    const QImage& currentFrame() const { return m_data->images[size_t(m_image)]; }
    // The animation showing; empty while the figure stands at rest.
    QString currentAnimation() const;
    bool balloonVisible() const { return m_balloonVisible; }
    QString balloonText() const { return m_balloon.page(); }
    const std::vector<Command>& commands() const { return m_commands; }
    // Requests waiting behind the one under way.
    int queueLength() const { return int(m_queue.size()); }
    // Branches and idle animations are chosen at random; tests fix the sequence.
    void setRandomSeed(quint32 seed) { m_random.seed(seed); }

signals:
    // A new picture, or a new animation starting (its first picture may be the one shown).
    void frameChanged();
    void visibleChanged(bool visible);
    void balloonChanged();
    // A glide from one point to another begins; it takes `duration` ms.
    void moveStarted(QPoint from, QPoint to, int duration);
    // The figure stands somewhere new at once (a move without glide, a glide
    // cut short or ended, a drag).
    void positionChanged(QPoint position);
    void commandsChanged();
    // Nothing has been asked of the character for a while.
    void idleStarted();

private:
    // Tells a Speak request's end once the last copy of the request is gone,
    // however it went: spoken out, cut, dropped from the queue, or the character unloaded.
    struct Follower {
        SpeechProgress progress;
        Follower() = default;
        Follower(const Follower&) = delete;
        Follower& operator=(const Follower&) = delete;
        ~Follower()
        {
            if (progress.ended)
                progress.ended();
        }
    };
    struct Request {
        enum Kind { Show, Hide, Move, Play, Speak } kind;
        bool fast = false;
        QPoint target;
        int duration = 0;
        QString text;  // animation name or the words to speak
        int languageId = 0;
        QString ttsModeId;
        std::shared_ptr<Follower> follower;  // a followed Speak's
    };
    enum class Purpose { Request, Speaking, Idle };

    void enqueue(Request request);
    void startNext();
    void begin(const Request& request);
    void finishRequest();
    void tick();
    void schedule();

    void showRest();
    void setImage(int image);
    void setVisible(bool visible);
    void startAnimation(int animation, Purpose purpose);
    void nextFrame(qint64 now);
    void animationEnded(bool cutShort);
    int chooseWeighted(const std::vector<CharacterBranch>& choices);

    void cutSpeech();
    void hideBalloon();
    void waitForIdle(qint64 delay);
    void onWordStarted(quint64 utterance, int position, int length);
    void onSpeechFinished(quint64 utterance, const QString& error);

    std::shared_ptr<const CharacterData> m_data;
    AgentClock& m_clock;
    std::unique_ptr<ClockTimer> m_timer;
    SpeechOutput* m_speech;
    std::unique_ptr<SilentSpeech> m_silent;
    QRandomGenerator m_random;

    std::deque<Request> m_queue;
    std::optional<Request> m_current;

    int m_restAnimation = -1;
    int m_speakAnimation = -1;
    int m_image = 0;
    bool m_visible = false;

    // the animation showing
    int m_animation = -1;
    int m_frame = 0;
    Purpose m_purpose = Purpose::Request;
    qint64 m_frameDue = 0;
    qint64 m_animationStart = 0;
    int m_chain = 0;

    // a glide
    bool m_moving = false;
    QPoint m_position;
    QPoint m_moveFrom;
    qint64 m_moveStart = 0;
    qint64 m_moveEnd = 0;

    // speech
    quint64 m_utterance = 0;  // 0: none under way
    SpeechOutput* m_utteranceOutput = nullptr;
    BalloonText m_balloon;
    bool m_balloonVisible = false;
    std::optional<qint64> m_balloonHideAt;

    std::optional<qint64> m_idleAt;
    bool m_idleAnnounced = false;

    int m_languageId = 1033;
    QString m_ttsModeId;
    std::vector<Command> m_commands;
};
