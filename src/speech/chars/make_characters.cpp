// make_characters: draws the four characters and writes their character files.
//
//   make_characters OUTDIR [--sheets DIR]
//
// Writes OUTDIR/Merlin.acs, Genie.acs, Peedy.acs and Robby.acs; with --sheets
// also DIR/<Name>.png, every animation's frames in a row, to look at.

#include "CharacterBuilder.h"
#include "CharacterFile.h"
#include "GenieArtist.h"
#include "MerlinArtist.h"
#include "PeedyArtist.h"
#include "RobbyArtist.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QSaveFile>

#include <cstdio>
#include <memory>

namespace {

QImage contactSheet(const CharacterData& data)
{
    const QSize frame = data.frameSize;
    size_t widest = 0;
    for (const CharacterAnimation& animation : data.animations)
        widest = std::max(widest, animation.frames.size());
    const int columns = int(std::min<size_t>(widest, 12));
    int rows = 0;
    for (const CharacterAnimation& animation : data.animations)
        rows += int((animation.frames.size() + columns - 1) / columns);
    const int label = 16;
    QImage sheet(columns * (frame.width() + 4) + 4,
                 rows * (frame.height() + 4) + int(data.animations.size()) * label + 4,
                 QImage::Format_ARGB32_Premultiplied);
    sheet.fill(QColor(236, 238, 242));
    QPainter p(&sheet);
    int y = 4;
    for (const CharacterAnimation& animation : data.animations) {
        p.setPen(Qt::black);
        p.drawText(QRect(4, y, sheet.width(), label), Qt::AlignVCenter, animation.name);
        y += label;
        for (size_t i = 0; i < animation.frames.size(); ++i) {
            const int column = int(i) % columns;
            if (i > 0 && column == 0)
                y += frame.height() + 4;
            const QPoint at(4 + column * (frame.width() + 4), y);
            p.fillRect(QRect(at, frame), QColor(250, 250, 252));
            p.drawImage(at, data.images[size_t(animation.frames[i].image)]);
        }
        y += frame.height() + 4;
    }
    return sheet;
}

}  // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);
    if (arguments.isEmpty()) {
        std::fprintf(stderr, "usage: make_characters OUTDIR [--sheets DIR]\n");
        return 2;
    }
    const QString out = arguments.first();
    const int sheetsAt = int(arguments.indexOf(QStringLiteral("--sheets")));
    const QString sheets = sheetsAt > 0 && sheetsAt + 1 < arguments.size() ? arguments[sheetsAt + 1] : QString();
    QDir().mkpath(out);
    if (!sheets.isEmpty())
        QDir().mkpath(sheets);

    std::unique_ptr<CharacterArtist> artists[] = {std::make_unique<MerlinArtist>(), std::make_unique<GenieArtist>(),
                                                  std::make_unique<PeedyArtist>(), std::make_unique<RobbyArtist>()};
    for (const auto& artist : artists) {
        const CharacterData data = CharacterBuilder(*artist).build();
        QSaveFile file(out + u'/' + data.id + QStringLiteral(".acs"));
        if (!file.open(QIODevice::WriteOnly) || file.write(CharacterFile::write(data)) < 0 || !file.commit()) {
            std::fprintf(stderr, "make_characters: cannot write %s: %s\n", qPrintable(file.fileName()),
                         qPrintable(file.errorString()));
            return 1;
        }
        if (!sheets.isEmpty())
            contactSheet(data).save(sheets + u'/' + data.id + QStringLiteral(".png"));
    }
    return 0;
}
