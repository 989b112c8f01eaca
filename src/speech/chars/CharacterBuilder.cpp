#include "CharacterBuilder.h"

#include "Art.h"
#include "CharacterArtist.h"

#include <QCryptographicHash>
#include <QPainter>

#include <cmath>

namespace {

// eases in and out between 0 and 1
double smooth(double t)
{
    t = std::clamp(t, 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

}  // namespace

CharacterBuilder::CharacterBuilder(const CharacterArtist& artist) : m_artist(artist)
{
    m_data.id = artist.id();
    m_data.frameSize = CharacterArtist::frameSize();
}

void CharacterBuilder::drawSparkles(QPainter& p, double appear) const
{
    const double strength = std::sin(M_PI * std::clamp(appear, 0.0, 1.0));
    if (strength <= 0.02)
        return;
    const QColor colour = m_artist.sparkle();
    for (int i = 0; i < 9; ++i) {
        // stars rise in a loose spiral round the figure as it forms
        const double angle = i * 40.0 + appear * 220.0;
        const double radius = 30 + (i % 3) * 9;
        const QPointF centre = Art::polar(QPointF(68, 96 - appear * 30 + i * 3), radius, angle);
        const double size = (2.5 + (i % 4) * 1.2) * strength;
        QColor glow = colour;
        glow.setAlphaF(float(0.35 * strength));
        p.setPen(Qt::NoPen);
        p.setBrush(glow);
        p.drawEllipse(centre, size * 1.8, size * 1.8);
        p.setBrush(Art::lighter(colour, 0.3));
        p.setPen(QPen(Art::darker(colour, 0.35), 0.8));
        p.drawPath(Art::star(centre, size * 1.3, size * 0.5, angle));
    }
}

QImage CharacterBuilder::render(const Pose& pose) const
{
    QImage image(m_data.frameSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    if (pose.appear >= 1) {
        m_artist.draw(p, pose);
        return image;
    }
    // coming or going: the figure grows from its feet and fades in among sparkles
    QImage figure(m_data.frameSize, QImage::Format_ARGB32_Premultiplied);
    figure.fill(Qt::transparent);
    {
        QPainter f(&figure);
        f.setRenderHint(QPainter::Antialiasing);
        m_artist.draw(f, pose);
    }
    const double grown = smooth(pose.appear);
    if (grown > 0.01) {
        p.save();
        p.setOpacity(std::min(1.0, grown * 1.4));
        p.translate(68, 150);
        p.scale(0.55 + 0.45 * grown, 0.2 + 0.8 * grown);
        p.translate(-68, -150);
        p.drawImage(0, 0, figure);
        p.restore();
    }
    drawSparkles(p, pose.appear);
    return image;
}

int CharacterBuilder::picture(const Pose& pose)
{
    const QImage image = render(pose);
    const QByteArray key =
        QCryptographicHash::hash(QByteArrayView(reinterpret_cast<const char*>(image.constBits()), image.sizeInBytes()),
                                 QCryptographicHash::Sha1);
    auto found = m_pictures.constFind(key);
    if (found != m_pictures.constEnd())
        return *found;
    m_data.images.push_back(image);
    return *m_pictures.insert(key, int(m_data.images.size()) - 1);
}

int CharacterBuilder::add(const QString& name, const Keyframes& frames)
{
    CharacterAnimation animation;
    animation.name = name;
    for (const auto& [pose, duration] : frames)
        animation.frames.push_back({picture(pose), duration, {}});
    m_data.animations.push_back(std::move(animation));
    return int(m_data.animations.size()) - 1;
}

CharacterData CharacterBuilder::build()
{
    const Pose rest;
    add(QStringLiteral("RestPose"), {{rest, 100}});

    // the last frame of coming and the first of going are the rest pose itself
    Keyframes show, hide{{rest, 60}};
    for (int i = 0; i < 12; ++i) {
        Pose coming = rest;
        coming.appear = i / 12.0;
        coming.phase = i / 12.0;
        show.push_back({coming, 60});
        Pose going = rest;
        going.appear = 1 - (i + 1) / 12.0;
        going.phase = (i + 1) / 12.0;
        hide.push_back({going, 60});
    }
    show.push_back({rest, 60});
    add(QStringLiteral("Show"), show);
    add(QStringLiteral("Hide"), hide);

    // each word opens the mouth anew from the first frame
    Keyframes speak;
    for (const double open : {0.7, 1.0, 0.55, 0.25, 0.0}) {
        Pose talking = rest;
        talking.mouth = open;
        talking.brows = 0.15;
        speak.push_back({talking, 80});
    }
    add(QStringLiteral("Speak"), speak);

    Keyframes wave;
    for (int i = 1; i <= 4; ++i) {
        Pose raising = rest;
        raising.armUp = smooth(i / 4.0);
        raising.brows = 0.3 * i / 4.0;
        raising.tilt = -3.0 * i / 4.0;
        wave.push_back({raising, 60});
    }
    for (int i = 0; i < 12; ++i) {
        Pose waving = rest;
        waving.armUp = 1;
        waving.wave = std::sin(i * M_PI / 3);
        waving.brows = 0.3;
        waving.tilt = -3;
        waving.mouth = 0;
        wave.push_back({waving, 70});
    }
    for (int i = 3; i >= 0; --i) {
        Pose lowering = rest;
        lowering.armUp = smooth(i / 4.0);
        lowering.tilt = -3.0 * i / 4.0;
        wave.push_back({lowering, 60});
    }
    add(QStringLiteral("Wave"), wave);

    Keyframes think;
    Pose thinking = rest;
    for (int i = 1; i <= 4; ++i) {
        thinking.chin = smooth(i / 4.0);
        thinking.look = QPointF(-0.5, -0.7) * (i / 4.0);
        thinking.brows = 0.7 * i / 4.0;
        thinking.tilt = 4.0 * i / 4.0;
        think.push_back({thinking, 80});
    }
    for (int i = 1; i <= 3; ++i) {
        thinking.thought = i / 3.0;
        think.push_back({thinking, 160});
    }
    const int hold = int(think.size());
    think.push_back({thinking, 500});
    Pose blinking = thinking;
    blinking.blink = 1;
    think.push_back({blinking, 90});
    thinking.look = QPointF(0.5, -0.7);
    think.push_back({thinking, 600});
    for (int i = 3; i >= 0; --i) {
        thinking.chin = smooth(i / 4.0);
        thinking.thought = i / 4.0;
        thinking.look = QPointF(0.5, -0.7) * (i / 4.0);
        thinking.brows = 0.7 * i / 4.0;
        thinking.tilt = 4.0 * i / 4.0;
        think.push_back({thinking, 80});
    }
    const int thinkIndex = add(QStringLiteral("Think"), think);
    // now and then the character ponders a little longer
    m_data.animations[size_t(thinkIndex)].frames[size_t(hold + 2)].branches.push_back({hold, 40});

    Keyframes blink;
    for (const double shut : {0.5, 1.0, 0.5, 0.0}) {
        Pose blinking = rest;
        blinking.blink = shut;
        blink.push_back({blinking, 50});
    }
    blink.push_back({rest, 300});
    const int blinkIndex = add(QStringLiteral("Idle1"), blink);

    Keyframes look;
    for (const QPointF& where : {QPointF(-0.5, 0), QPointF(-1, 0.1)}) {
        Pose looking = rest;
        looking.look = where;
        looking.tilt = where.x() * 4;
        look.push_back({looking, 80});
    }
    look.back().second = 800;
    for (const QPointF& where : {QPointF(-0.3, 0), QPointF(0.4, 0), QPointF(1, 0.1)}) {
        Pose looking = rest;
        looking.look = where;
        looking.tilt = where.x() * 4;
        look.push_back({looking, 80});
    }
    look.back().second = 800;
    for (const QPointF& where : {QPointF(0.5, 0), QPointF(0, 0)}) {
        Pose looking = rest;
        looking.look = where;
        looking.tilt = where.x() * 4;
        look.push_back({looking, 80});
    }
    const int lookIndex = add(QStringLiteral("Idle2"), look);

    Keyframes breathe;
    for (int i = 0; i <= 12; ++i) {
        Pose breathing = rest;
        breathing.bob = 2.0 * std::sin(i * M_PI / 6);
        breathing.phase = i / 12.0;
        breathing.look = QPointF(0, -0.2 * std::sin(i * M_PI / 12));
        breathe.push_back({breathing, 110});
    }
    const int breatheIndex = add(QStringLiteral("Idle3"), breathe);
    const int restIndex = 0;
    m_data.animations[size_t(breatheIndex)].next = {{blinkIndex, 1}, {restIndex, 2}};

    m_data.idle = {{blinkIndex, 3}, {lookIndex, 2}, {breatheIndex, 2}};
    return m_data;
}
