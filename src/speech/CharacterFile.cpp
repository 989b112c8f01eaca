#include "CharacterFile.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtEndian>

#include <zlib.h>

#include <cmath>

const char* const CharacterFile::RequiredAnimations[4] = {"RestPose", "Show", "Hide", "Speak"};

namespace {

const QByteArray Magic("LINGCHR1");
const QString FormatName = QStringLiteral("linguaro-character");
constexpr int HeaderSize = 12;

// The first fault found; carries the reason up to parse().
struct Fault {
    QString reason;
};

[[noreturn]] void fail(const QString& reason) { throw Fault{reason}; }

int integer(const QJsonValue& value, qint64 low, qint64 high, const QString& what)
{
    const double number = value.toDouble(std::nan(""));
    if (!value.isDouble() || std::isnan(number) || number != std::floor(number))
        fail(QStringLiteral("%1 is not a whole number").arg(what));
    if (number < double(low) || number > double(high))
        fail(QStringLiteral("%1 is %2, outside %3 to %4").arg(what).arg(number, 0, 'f', 0).arg(low).arg(high));
    return static_cast<int>(number);
}

QJsonArray array(const QJsonValue& value, int maxCount, const QString& what, bool mayBeEmpty = false)
{
    if (!value.isArray())
        fail(QStringLiteral("%1 is missing or not a list").arg(what));
    const QJsonArray list = value.toArray();
    if (list.size() > maxCount)
        fail(QStringLiteral("%1 has %2 entries, more than %3").arg(what).arg(list.size()).arg(maxCount));
    if (list.isEmpty() && !mayBeEmpty)
        fail(QStringLiteral("%1 is empty").arg(what));
    return list;
}

QString name(const QJsonValue& value, const QString& what)
{
    if (!value.isString())
        fail(QStringLiteral("%1 is missing or not a text").arg(what));
    const QString text = value.toString();
    if (text.isEmpty() || text.size() > CharacterFile::MaxNameLength)
        fail(QStringLiteral("%1 must have 1 to %2 characters").arg(what).arg(CharacterFile::MaxNameLength));
    for (const QChar c : text) {
        if (!c.isPrint())
            fail(QStringLiteral("%1 holds a control character").arg(what));
    }
    return text;
}

// [[target, weight], ...] where target is an animation name
std::vector<CharacterBranch> animationChoices(const QJsonValue& value, const CharacterData& data, const QString& what)
{
    std::vector<CharacterBranch> choices;
    if (value.isUndefined())
        return choices;
    const QJsonArray list = array(value, CharacterFile::MaxBranches, what, true);
    for (int i = 0; i < list.size(); ++i) {
        const QString entry = QStringLiteral("%1, entry %2").arg(what).arg(i + 1);
        const QJsonArray pair = array(list[i], 2, entry);
        if (pair.size() != 2)
            fail(QStringLiteral("%1 is not a pair of animation and weight").arg(entry));
        const QString target = name(pair[0], entry + QStringLiteral(", animation"));
        const int index = data.findAnimation(target);
        if (index < 0)
            fail(QStringLiteral("%1 names the animation \"%2\", which the file does not have").arg(entry, target));
        choices.push_back({index, integer(pair[1], 1, 1000, entry + QStringLiteral(", weight"))});
    }
    return choices;
}

// The most bytes a picture of the frame size may be stored in: its pixels at four bytes each
// with a filter byte a row, and room for the file's own framing and a few small chunks.
qint64 storedLimit(const QSize& frameSize)
{
    const qint64 pixels = qint64(frameSize.height()) * (1 + 4 * qint64(frameSize.width()));
    return pixels + pixels / 64 + 16384;
}

// The bytes a PNG's image data unpacks to, filter bytes included: what its header declares.
qint64 unpackedSize(const QSize& size, int bitsPerPixel, bool interlaced)
{
    auto rows = [&](qint64 width, qint64 height) {
        return width && height ? height * (1 + (width * bitsPerPixel + 7) / 8) : 0;
    };
    if (!interlaced)
        return rows(size.width(), size.height());
    // the seven passes of an interlaced picture: first column, first row, column step, row step
    static const int passes[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                     {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    qint64 total = 0;
    for (const auto& pass : passes) {
        const qint64 width = size.width() > pass[0] ? (size.width() - pass[0] + pass[2] - 1) / pass[2] : 0;
        const qint64 height = size.height() > pass[1] ? (size.height() - pass[1] + pass[3] - 1) / pass[3] : 0;
        total += rows(width, height);
    }
    return total;
}

// Inflates a PNG's image data only to count it, and never past `limit` + 1 bytes.
class ImageDataCount {
public:
    explicit ImageDataCount(qint64 limit) : m_limit(limit) { m_ok = inflateInit(&m_stream) == Z_OK; }
    ~ImageDataCount() { inflateEnd(&m_stream); }
    ImageDataCount(const ImageDataCount&) = delete;
    ImageDataCount& operator=(const ImageDataCount&) = delete;

    // False when the data is damaged or unpacks to more than the limit.
    bool add(const char* data, qint64 size)
    {
        m_stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        m_stream.avail_in = uInt(size);
        while (m_ok && !m_ended && m_stream.avail_in > 0) {
            m_stream.next_out = m_scratch;
            m_stream.avail_out = uInt(std::min<qint64>(sizeof m_scratch, m_limit + 1 - qint64(m_stream.total_out)));
            const int status = inflate(&m_stream, Z_NO_FLUSH);
            m_ended = status == Z_STREAM_END;
            m_ok = (status == Z_OK || m_ended) && qint64(m_stream.total_out) <= m_limit;
        }
        return m_ok;
    }
    bool tooLarge() const { return qint64(m_stream.total_out) > m_limit; }

private:
    z_stream m_stream{};
    Bytef m_scratch[16384];
    qint64 m_limit;
    bool m_ok = false;
    bool m_ended = false;
};

// The picture with only the chunks that draw it (compressed notes and colour profiles,
// which would be unpacked for nothing, are left out), once its header agrees with the frame
// and its image data unpacks to no more than its pixels need.
QByteArray drawingChunks(const QByteArray& png, const QSize& frameSize, const QString& what)
{
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    static const QByteArrayList kept{"IHDR", "PLTE", "tRNS", "IDAT", "IEND"};
    if (!png.startsWith(signature) || png.size() < 33 || png.mid(12, 4) != "IHDR")
        fail(QStringLiteral("%1 is not a readable PNG picture").arg(what));
    const uchar* header = reinterpret_cast<const uchar*>(png.constData()) + 16;
    const QSize size(int(std::min<quint32>(qFromBigEndian<quint32>(header), INT_MAX)),
                     int(std::min<quint32>(qFromBigEndian<quint32>(header + 4), INT_MAX)));
    if (size != frameSize)
        fail(QStringLiteral("%1 is %2x%3 pixels, not the frame size %4x%5")
                 .arg(what)
                 .arg(size.width())
                 .arg(size.height())
                 .arg(frameSize.width())
                 .arg(frameSize.height()));
    // channels by colour type: grey, -, colour, palette, grey and alpha, -, colour and alpha
    static const int channels[7] = {1, 0, 3, 1, 2, 0, 4};
    const int depth = header[8];
    const int colour = header[9];
    if (colour > 6 || !channels[colour] || (depth != 1 && depth != 2 && depth != 4 && depth != 8 && depth != 16))
        fail(QStringLiteral("%1 is not a readable PNG picture").arg(what));
    const qint64 needed = unpackedSize(size, channels[colour] * depth, header[12] != 0);

    ImageDataCount imageData(needed);
    QByteArray out = signature;
    qint64 at = signature.size();
    while (at + 12 <= png.size()) {
        const qint64 length = qFromBigEndian<quint32>(png.constData() + at);
        if (length > png.size() - at - 12)
            break;  // cut short: the picture reader says so
        const QByteArray type = png.mid(at + 4, 4);
        if (type == "IDAT" && !imageData.add(png.constData() + at + 8, length)) {
            if (imageData.tooLarge())
                fail(QStringLiteral("%1 holds more compressed image data than its %2x%3 pixels need")
                         .arg(what)
                         .arg(size.width())
                         .arg(size.height()));
            fail(QStringLiteral("%1 is damaged (its image data cannot be unpacked)").arg(what));
        }
        if (kept.contains(type))
            out += png.mid(at, 12 + length);
        at += 12 + length;
        if (type == "IEND")
            break;
    }
    return out;
}

QImage decodePicture(const QByteArray& png, const QSize& frameSize, int index)
{
    const QString what = QStringLiteral("picture %1").arg(index);
    QByteArray bytes = drawingChunks(png, frameSize, what);
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "png");
    reader.setAutoTransform(false);
    if (!reader.size().isValid())
        fail(QStringLiteral("%1 is not a readable PNG picture").arg(what));
    QImage image = reader.read();
    if (image.isNull())
        fail(QStringLiteral("%1 is damaged (%2)").arg(what, reader.errorString()));
    if (image.size() != frameSize)
        fail(QStringLiteral("%1 decodes to another size than it states").arg(what));
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

std::shared_ptr<CharacterData> parseDescription(const QByteArray& bytes)
{
    if (bytes.size() < HeaderSize || !bytes.startsWith(Magic))
        fail(QStringLiteral("it is not a character file (it does not start with \"%1\")")
                 .arg(QString::fromLatin1(Magic)));
    const quint32 descriptionSize = qFromLittleEndian<quint32>(bytes.constData() + Magic.size());
    if (descriptionSize > quint32(CharacterFile::MaxDescriptionSize))
        fail(QStringLiteral("its description is %1 bytes, more than %2")
                 .arg(descriptionSize)
                 .arg(CharacterFile::MaxDescriptionSize));
    if (qint64(descriptionSize) > bytes.size() - HeaderSize)
        fail(QStringLiteral("it is cut short: the description needs %1 bytes, the file has %2 after its header")
                 .arg(descriptionSize)
                 .arg(bytes.size() - HeaderSize));

    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(bytes.mid(HeaderSize, descriptionSize), &parseError);
    if (parseError.error != QJsonParseError::NoError)
        fail(QStringLiteral("its description is not valid JSON (%1 at byte %2)")
                 .arg(parseError.errorString())
                 .arg(parseError.offset));
    if (!document.isObject())
        fail(QStringLiteral("its description is not a JSON object"));
    const QJsonObject root = document.object();
    if (root.value(QLatin1String("format")).toString() != FormatName)
        fail(QStringLiteral("its description does not say \"format\": \"%1\"").arg(FormatName));
    const int version = integer(root.value(QLatin1String("version")), 1, 1000, QStringLiteral("the format version"));
    if (version != 1)
        fail(QStringLiteral("it has format version %1; this program reads version 1").arg(version));

    auto data = std::make_shared<CharacterData>();
    data->id = name(root.value(QLatin1String("id")), QStringLiteral("the character's ID"));
    data->frameSize = QSize(integer(root.value(QLatin1String("width")), CharacterFile::MinFrameSide,
                                    CharacterFile::MaxFrameSide, QStringLiteral("the frame width")),
                            integer(root.value(QLatin1String("height")), CharacterFile::MinFrameSide,
                                    CharacterFile::MaxFrameSide, QStringLiteral("the frame height")));

    const QJsonArray images =
        array(root.value(QLatin1String("images")), CharacterFile::MaxImages, QStringLiteral("the picture list"));
    const qint64 pixelBytes = qint64(images.size()) * data->frameSize.width() * data->frameSize.height() * 4;
    if (pixelBytes > CharacterFile::MaxPixelBytes)
        fail(QStringLiteral("its %1 pictures would take %2 MB, more than %3 MB")
                 .arg(images.size())
                 .arg(pixelBytes >> 20)
                 .arg(CharacterFile::MaxPixelBytes >> 20));
    const qint64 dataStart = HeaderSize + qint64(descriptionSize);
    const qint64 dataSize = bytes.size() - dataStart;
    QHash<std::pair<qint64, qint64>, int> decoded;  // a place in the file: the first picture read from it
    for (int i = 0; i < images.size(); ++i) {
        const QString what = QStringLiteral("picture %1").arg(i);
        const QJsonArray place = array(images[i], 2, what);
        if (place.size() != 2)
            fail(QStringLiteral("%1 is not a pair of offset and length").arg(what));
        const qint64 offset = integer(place[0], 0, std::numeric_limits<int>::max(), what + QStringLiteral(", offset"));
        const qint64 length = integer(place[1], 1, CharacterFile::MaxImageSize, what + QStringLiteral(", length"));
        if (offset + length > dataSize)
            fail(QStringLiteral("%1 lies beyond the end of the file (bytes %2 to %3 of %4): the file is cut short")
                     .arg(what)
                     .arg(offset)
                     .arg(offset + length)
                     .arg(dataSize));
        if (length > storedLimit(data->frameSize))
            fail(QStringLiteral("%1 is %2 bytes, more than the %3 a %4x%5 picture may take")
                     .arg(what)
                     .arg(length)
                     .arg(storedLimit(data->frameSize))
                     .arg(data->frameSize.width())
                     .arg(data->frameSize.height()));
        // a picture named again is the one decoded already (the image shares its pixels)
        const auto where = std::make_pair(offset, length);
        const auto seen = decoded.constFind(where);
        if (seen != decoded.constEnd()) {
            data->images.push_back(data->images[size_t(*seen)]);
            continue;
        }
        decoded.insert(where, i);
        data->images.push_back(decodePicture(bytes.mid(dataStart + offset, length), data->frameSize, i));
    }

    const QJsonArray animations = array(root.value(QLatin1String("animations")), CharacterFile::MaxAnimations,
                                        QStringLiteral("the animation list"));
    // names first, so that "next" may point forward
    for (int a = 0; a < animations.size(); ++a) {
        if (!animations[a].isObject())
            fail(QStringLiteral("animation %1 is not a JSON object").arg(a + 1));
        CharacterAnimation animation;
        animation.name = name(animations[a].toObject().value(QLatin1String("name")),
                              QStringLiteral("the name of animation %1").arg(a + 1));
        if (data->findAnimation(animation.name) >= 0)
            fail(QStringLiteral("the animation \"%1\" is there twice").arg(animation.name));
        data->animations.push_back(std::move(animation));
    }
    for (int a = 0; a < animations.size(); ++a) {
        const QJsonObject object = animations[a].toObject();
        CharacterAnimation& animation = data->animations[size_t(a)];
        const QString what = QStringLiteral("animation \"%1\"").arg(animation.name);
        const QJsonArray frames = array(object.value(QLatin1String("frames")), CharacterFile::MaxFrames,
                                        what + QStringLiteral(", frame list"));
        for (int f = 0; f < frames.size(); ++f) {
            const QString frameWhat = QStringLiteral("%1, frame %2").arg(what).arg(f + 1);
            if (!frames[f].isObject())
                fail(QStringLiteral("%1 is not a JSON object").arg(frameWhat));
            const QJsonObject frameObject = frames[f].toObject();
            CharacterFrame frame;
            const QJsonValue image = frameObject.value(QLatin1String("image"));
            frame.image = integer(image, 0, std::numeric_limits<int>::max(), frameWhat + QStringLiteral(", picture"));
            if (frame.image >= images.size())
                fail(QStringLiteral("%1 shows picture %2, but the file has %3 pictures")
                         .arg(frameWhat)
                         .arg(frame.image)
                         .arg(images.size()));
            frame.duration = integer(frameObject.value(QLatin1String("duration")), CharacterFile::MinDuration,
                                     CharacterFile::MaxDuration, frameWhat + QStringLiteral(", duration"));
            const QJsonValue branches = frameObject.value(QLatin1String("branches"));
            if (!branches.isUndefined()) {
                const QJsonArray list =
                    array(branches, CharacterFile::MaxBranches, frameWhat + QStringLiteral(", branch list"), true);
                int total = 0;
                for (int b = 0; b < list.size(); ++b) {
                    const QString branchWhat = QStringLiteral("%1, branch %2").arg(frameWhat).arg(b + 1);
                    const QJsonArray pair = array(list[b], 2, branchWhat);
                    if (pair.size() != 2)
                        fail(QStringLiteral("%1 is not a pair of frame and percentage").arg(branchWhat));
                    // frames are counted from 1 in messages, from 0 in the file
                    const int target = integer(pair[0], 0, frames.size() - 1, branchWhat + QStringLiteral(", frame"));
                    const int weight = integer(pair[1], 1, 100, branchWhat + QStringLiteral(", percentage"));
                    total += weight;
                    frame.branches.push_back({target, weight});
                }
                if (total > 100)
                    fail(QStringLiteral("%1: its branches add up to %2 percent, more than 100")
                             .arg(frameWhat)
                             .arg(total));
            }
            animation.frames.push_back(std::move(frame));
        }
        animation.next = animationChoices(object.value(QLatin1String("next")), *data, what + QStringLiteral(", next"));
    }
    data->idle = animationChoices(root.value(QLatin1String("idle")), *data, QStringLiteral("the idle list"));
    for (const char* required : CharacterFile::RequiredAnimations) {
        if (data->findAnimation(QLatin1String(required)) < 0)
            fail(QStringLiteral("it has no \"%1\" animation").arg(QLatin1String(required)));
    }
    return data;
}

}  // namespace

CharacterFile::Result CharacterFile::parse(const QByteArray& bytes)
{
    if (bytes.size() > MaxFileSize)
        return {nullptr, QStringLiteral("it is %1 MB, more than %2 MB").arg(bytes.size() >> 20).arg(MaxFileSize >> 20)};
    try {
        return {parseDescription(bytes), QString()};
    } catch (const Fault& fault) {
        return {nullptr, fault.reason};
    }
}

CharacterFile::Result CharacterFile::load(const QString& path)
{
    const QString& shown = path;
    QFile file(path);
    const QFileInfo info(path);
    if (!info.isFile())
        return {nullptr, QStringLiteral("The character file \"%1\" is not a file.").arg(shown)};
    if (info.size() > MaxFileSize)
        return {nullptr, QStringLiteral("The character file \"%1\" is damaged: it is %2 MB, more than %3 MB.")
                             .arg(shown)
                             .arg(info.size() >> 20)
                             .arg(MaxFileSize >> 20)};
    if (!file.open(QIODevice::ReadOnly))
        return {nullptr,
                QStringLiteral("The character file \"%1\" cannot be read: %2.").arg(shown, file.errorString())};
    // read at most one byte past the limit: the file may grow after the size was taken
    const QByteArray bytes = file.read(MaxFileSize + 1);
    Result result = parse(bytes);
    if (!result.data)
        result.error = QStringLiteral("The character file \"%1\" is damaged: %2.").arg(shown, result.error);
    return result;
}

QByteArray CharacterFile::write(const CharacterData& data)
{
    QByteArray pictures;
    QJsonArray images;
    QHash<QByteArray, QJsonArray> stored;  // equal pictures are kept once
    for (const QImage& image : data.images) {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "png");
        writer.setQuality(0);  // for PNG: the strongest compression
        writer.write(image.convertToFormat(QImage::Format_ARGB32));
        const QByteArray key = QCryptographicHash::hash(png, QCryptographicHash::Sha1);
        auto found = stored.constFind(key);
        if (found == stored.constEnd()) {
            found = stored.insert(key, QJsonArray{pictures.size(), png.size()});
            pictures += png;
        }
        images.append(*found);
    }
    auto choices = [&](const std::vector<CharacterBranch>& list) {
        QJsonArray out;
        for (const CharacterBranch& choice : list)
            out.append(QJsonArray{data.animations[size_t(choice.target)].name, choice.weight});
        return out;
    };
    QJsonArray animations;
    for (const CharacterAnimation& animation : data.animations) {
        QJsonArray frames;
        for (const CharacterFrame& frame : animation.frames) {
            QJsonObject object{{QStringLiteral("image"), frame.image}, {QStringLiteral("duration"), frame.duration}};
            if (!frame.branches.empty()) {
                QJsonArray branches;
                for (const CharacterBranch& branch : frame.branches)
                    branches.append(QJsonArray{branch.target, branch.weight});
                object.insert(QStringLiteral("branches"), branches);
            }
            frames.append(object);
        }
        QJsonObject object{{QStringLiteral("name"), animation.name}, {QStringLiteral("frames"), frames}};
        if (!animation.next.empty())
            object.insert(QStringLiteral("next"), choices(animation.next));
        animations.append(object);
    }
    QJsonObject root{{QStringLiteral("format"), FormatName},
                     {QStringLiteral("version"), 1},
                     {QStringLiteral("id"), data.id},
                     {QStringLiteral("width"), data.frameSize.width()},
                     {QStringLiteral("height"), data.frameSize.height()},
                     {QStringLiteral("images"), images},
                     {QStringLiteral("animations"), animations}};
    if (!data.idle.empty())
        root.insert(QStringLiteral("idle"), choices(data.idle));
    const QByteArray description = QJsonDocument(root).toJson(QJsonDocument::Compact);
    QByteArray bytes = Magic;
    char size[4];
    qToLittleEndian<quint32>(quint32(description.size()), size);
    bytes.append(size, 4);
    bytes += description;
    bytes += pictures;
    return bytes;
}
