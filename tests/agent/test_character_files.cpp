#include "CharacterFile.h"
#include "CharacterWindow.h"
#include "InstalledAgent.h"
#include "CharacterStage.h"
#include "TestCharacter.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageWriter>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <zlib.h>

#include <functional>

namespace {

const QStringList Characters{"Merlin", "Genie", "Peedy", "Robby"};

QString builtCharacter(const QString& name)
{
    return QStringLiteral(LINGUARO_BINARY_DIR "/chars/") + name + QStringLiteral(".acs");
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The description of a character file changed by `edit`, its pictures kept.
QByteArray rewrite(const QByteArray& bytes, const std::function<void(QJsonObject&)>& edit)
{
    const quint32 size = qFromLittleEndian<quint32>(bytes.constData() + 8);
    QJsonObject root = QJsonDocument::fromJson(bytes.mid(12, size)).object();
    edit(root);
    const QByteArray description = QJsonDocument(root).toJson(QJsonDocument::Compact);
    QByteArray out = bytes.left(8);
    char length[4];
    qToLittleEndian<quint32>(quint32(description.size()), length);
    out.append(length, 4);
    return out + description + bytes.mid(12 + size);
}

// Edits the first frame of the named animation in the description.
void editFrame(QJsonObject& root, const QString& animation, const std::function<void(QJsonObject&)>& edit)
{
    QJsonArray animations = root[QStringLiteral("animations")].toArray();
    for (int i = 0; i < animations.size(); ++i) {
        QJsonObject object = animations[i].toObject();
        if (object[QStringLiteral("name")].toString() != animation)
            continue;
        QJsonArray frames = object[QStringLiteral("frames")].toArray();
        QJsonObject frame = frames[0].toObject();
        edit(frame);
        frames[0] = frame;
        object[QStringLiteral("frames")] = frames;
        animations[i] = object;
    }
    root[QStringLiteral("animations")] = animations;
}

QByteArray png(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}

// `count` zero bytes as a zlib stream, made piece by piece: 200 MB take about 200 KB.
QByteArray compressedZeros(qint64 count)
{
    z_stream stream{};
    deflateInit(&stream, Z_DEFAULT_COMPRESSION);
    static const QByteArray zeros(1 << 20, 0);
    QByteArray compressed;
    char out[1 << 16];
    do {
        const qint64 piece = std::min<qint64>(count, zeros.size());
        count -= piece;
        stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(zeros.constData()));
        stream.avail_in = uInt(piece);
        do {
            stream.next_out = reinterpret_cast<Bytef*>(out);
            stream.avail_out = sizeof out;
            deflate(&stream, count ? Z_NO_FLUSH : Z_FINISH);
            compressed.append(out, qsizetype(sizeof out - stream.avail_out));
        } while (stream.avail_out == 0);
    } while (count > 0);
    deflateEnd(&stream);
    return compressed;
}

QByteArray pngChunk(const char* type, const QByteArray& data)
{
    QByteArray out(4, 0);
    qToBigEndian<quint32>(quint32(data.size()), out.data());
    out += QByteArray(type, 4) + data;
    char crc[4];
    const auto* body = reinterpret_cast<const Bytef*>(out.constData() + 4);
    qToBigEndian<quint32>(quint32(crc32(0, body, uInt(out.size() - 4))), crc);
    return out.append(crc, 4);
}

// A transparent picture whose image data unpacks to `extra` bytes more than its pixels need,
// with `notes` (chunks) after its header.
QByteArray hostilePng(const QSize& size, qint64 extra, const QByteArray& notes = {})
{
    QByteArray header(13, 0);
    qToBigEndian<quint32>(quint32(size.width()), header.data());
    qToBigEndian<quint32>(quint32(size.height()), header.data() + 4);
    header[8] = 8;  // bits a channel
    header[9] = 6;  // colour and alpha
    // each row a filter byte (none) and transparent pixels: zeros throughout
    const qint64 pixels = qint64(size.height()) * (1 + 4 * size.width());
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + notes
           + pngChunk("IDAT", compressedZeros(pixels + extra)) + pngChunk("IEND", {});
}

// The character file with a picture added and every one of `count` pictures naming it.
QByteArray allPicturesNaming(const QByteArray& file, const QByteArray& picture, const QSize& frameSize, int count)
{
    const QByteArray bytes = file + picture;
    const qsizetype dataStart = 12 + qFromLittleEndian<quint32>(bytes.constData() + 8);
    return rewrite(bytes, [&](QJsonObject& root) {
        QJsonArray images;
        for (int i = 0; i < count; ++i)
            images.append(QJsonArray{double(bytes.size() - dataStart - picture.size()), double(picture.size())});
        root["images"] = images;
        root["width"] = frameSize.width();
        root["height"] = frameSize.height();
    });
}

int opaquePixels(const QImage& image, QRect* box = nullptr)
{
    int count = 0;
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) >= 128) {
                ++count;
                bounds |= QRect(x, y, 1, 1);
            }
        }
    }
    if (box)
        *box = bounds;
    return count;
}

}  // namespace

class TestCharacterFiles : public QObject {
    Q_OBJECT
private slots:
    void loadsWithoutRegardToCase();
    void failuresNameTheFileAndTheReason_data();
    void failuresNameTheFileAndTheReason();
    void damagedFilesNeverCrash();
    void aPictureNamedAgainIsDecodedOnce();
    void theFourCharacters_data();
    void theFourCharacters();
};

void TestCharacterFiles::loadsWithoutRegardToCase()
{
    InstalledAgent windows;
    windows.install(QStringLiteral("Merlin"));
    CharacterStage agent;
    agent.setConnected(true);
    QVERIFY(agent.connected());
    agent.load(QStringLiteral("Merlin"), QStringLiteral("merlin.acs"));
    AgentCharacter* merlin = agent.character(QStringLiteral("MERLIN"));
    QVERIFY(merlin);
    QCOMPARE(agent.window(QStringLiteral("Merlin"))->windowTitle(), QStringLiteral("Merlin"));

    // loading again under the same ID replaces the character
    agent.load(QStringLiteral("Merlin"), QStringLiteral("Merlin.acs"));
    QVERIFY(agent.character(QStringLiteral("Merlin")) != merlin);

    agent.unload(QStringLiteral("merlin"));
    agent.unload(QStringLiteral("Merlin"));  // not loaded: nothing happens
    QVERIFY_THROWS_EXCEPTION(AgentError, agent.character(QStringLiteral("Merlin")));
}

void TestCharacterFiles::failuresNameTheFileAndTheReason_data()
{
    QTest::addColumn<std::function<void(InstalledAgent&)>>("prepare");
    QTest::addColumn<QString>("loadKey");
    QTest::addColumn<QString>("file");  // the file the message names, within W
    QTest::addColumn<QString>("reason");

    const QByteArray good = CharacterFile::write(*testCharacter());
    using Prepare = std::function<void(InstalledAgent&)>;
    auto put = [](const QByteArray& bytes) {
        return Prepare([bytes](InstalledAgent& w) { w.put(QStringLiteral("tester.acs"), bytes); });
    };
    const QString file = QStringLiteral("MSAgent/Chars/tester.acs");

    QTest::newRow("Agent core missing") << Prepare([](InstalledAgent& w) {
        QFile::remove(w.dir.filePath("MSAgent/AgentSvr.exe"));
    }) << "tester.acs"
                                        << "msagent/agentsvr.exe"
                                        << "The Agent core is not installed";
    QTest::newRow("character file missing") << Prepare([](InstalledAgent&) {}) << "Tester.acs"
                                            << "msagent/chars/Tester.acs"
                                            << "the character Tester is not installed";
    QTest::newRow("a path for a file name") << put(good) << "../AgentSvr.exe"
                                            << ""
                                            << "is not a character file name";
    QTest::newRow("a folder for a file") << Prepare([](InstalledAgent& w) { QDir().mkpath(w.character("tester.acs")); })
                                         << "tester.acs" << file << "is not a file";
    QTest::newRow("empty") << put(QByteArray()) << "tester.acs" << file << "it is not a character file";
    QTest::newRow("another format") << put(png(QImage(16, 16, QImage::Format_ARGB32))) << "tester.acs" << file
                                    << "it is not a character file";
    QTest::newRow("cut in the description") << put(good.left(40)) << "tester.acs" << file << "it is cut short";
    QTest::newRow("cut in the pictures") << put(good.left(good.size() - 10)) << "tester.acs" << file
                                         << "lies beyond the end of the file";
    QTest::newRow("bad JSON") << put(rewrite(good, [](QJsonObject&) {}).replace("{\"animations\"", "{animations"))
                              << "tester.acs" << file << "its description is not valid JSON";
    QTest::newRow("frame shows a missing picture") << put(rewrite(good, [](QJsonObject& root) {
        editFrame(root, "Wave", [](QJsonObject& frame) { frame["image"] = 99; });
    })) << "tester.acs" << file << "animation \"Wave\", frame 1 shows picture 99, but the file has 10 pictures";
    QTest::newRow("huge frame size") << put(rewrite(good, [](QJsonObject& root) { root["width"] = 1e9; }))
                                     << "tester.acs" << file << "the frame width is 1000000000, outside 16 to 512";
    QTest::newRow("huge picture count") << put(rewrite(good, [](QJsonObject& root) {
        root["width"] = 512;
        root["height"] = 512;
        QJsonArray images;
        for (int i = 0; i < 2000; ++i)
            images.append(QJsonArray{0, 10});
        root["images"] = images;
    })) << "tester.acs" << file << "would take 2000 MB";
    QTest::newRow("picture larger than it may be") << put(rewrite(good, [](QJsonObject& root) {
        root["images"] = QJsonArray{QJsonArray{0, 1 << 30}};
    })) << "tester.acs" << file << "picture 0, length is 1073741824, outside 1 to 4194304";
    QTest::newRow("picture of another size") << put([&] {
        QByteArray bytes = rewrite(good, [](QJsonObject& root) {
            QJsonArray images = root["images"].toArray();
            images[3] = QJsonArray{0, 0};  // filled in below
            root["images"] = images;
        });
        const QByteArray big = png(QImage(640, 480, QImage::Format_ARGB32));
        const qsizetype dataStart = 12 + qFromLittleEndian<quint32>(bytes.constData() + 8);
        const qsizetype offset = bytes.size() - dataStart;
        bytes += big;
        return rewrite(bytes, [&](QJsonObject& root) {
            QJsonArray images = root["images"].toArray();
            images[3] = QJsonArray{double(offset), double(big.size())};
            root["images"] = images;
        });
    }()) << "tester.acs" << file << "picture 3 is 640x480 pixels, not the frame size 16x16";
    // a small file that would unpack hundreds of megabytes for every picture naming it
    const QSize large(512, 512);
    QTest::newRow("picture with extra compressed data")
        << put(allPicturesNaming(good, hostilePng(large, qint64(200) << 20), large, 10)) << "tester.acs" << file
        << "picture 0 holds more compressed image data than its 512x512 pixels need";
    const QByteArray note = pngChunk("zTXt", QByteArray("Comment\0\0", 9) + compressedZeros(qint64(20) << 20));
    QTest::newRow("picture stored in more bytes than its pixels need")
        << put(allPicturesNaming(good, hostilePng(QSize(16, 16), 0, note), QSize(16, 16), 10)) << "tester.acs" << file
        << "more than the 17440 a 16x16 picture may take";
    QTest::newRow("branch to a frame that is not there") << put(rewrite(good, [](QJsonObject& root) {
        editFrame(root, "Think", [](QJsonObject& frame) { frame["branches"] = QJsonArray{QJsonArray{5, 50}}; });
    })) << "tester.acs" << file << "animation \"Think\", frame 1, branch 1, frame is 5, outside 0 to 0";
    QTest::newRow("branches over 100 percent") << put(rewrite(good, [](QJsonObject& root) {
        editFrame(root, "Wave", [](QJsonObject& frame) {
            frame["branches"] = QJsonArray{QJsonArray{0, 60}, QJsonArray{1, 60}};
        });
    })) << "tester.acs" << file << "its branches add up to 120 percent";
    QTest::newRow("next animation unknown") << put(rewrite(good, [](QJsonObject& root) {
        QJsonArray animations = root["animations"].toArray();
        QJsonObject wave = animations[4].toObject();
        wave["next"] = QJsonArray{QJsonArray{"Moonwalk", 1}};
        animations[4] = wave;
        root["animations"] = animations;
    })) << "tester.acs" << file << "names the animation \"Moonwalk\", which the file does not have";
    QTest::newRow("speaking animation missing") << put(rewrite(good, [](QJsonObject& root) {
        QJsonArray animations = root["animations"].toArray();
        QJsonObject speak = animations[3].toObject();
        speak["name"] = "Talk";
        animations[3] = speak;
        root["animations"] = animations;
    })) << "tester.acs" << file << "it has no \"Speak\" animation";
    QTest::newRow("a frame too short") << put(rewrite(good, [](QJsonObject& root) {
        editFrame(root, "Show", [](QJsonObject& frame) { frame["duration"] = 0; });
    })) << "tester.acs" << file << "duration is 0, outside 10 to 10000";
}

void TestCharacterFiles::failuresNameTheFileAndTheReason()
{
    QFETCH(std::function<void(InstalledAgent&)>, prepare);
    QFETCH(QString, loadKey);
    QFETCH(QString, file);
    QFETCH(QString, reason);
    InstalledAgent windows;
    prepare(windows);
    CharacterStage agent;
    QString message;
    try {
        agent.setConnected(true);
        agent.load(QStringLiteral("Tester"), loadKey);
    } catch (const AgentError& error) {
        message = QString::fromStdString(error.what());
    }
    QVERIFY2(message.contains(reason), qPrintable(message));
    if (!file.isEmpty())
        QVERIFY2(message.contains(windows.dir.path() + u'/' + file), qPrintable(message));
    QVERIFY_THROWS_EXCEPTION(AgentError, agent.character(QStringLiteral("Tester")));
    // loading without a connection fails too, whatever the file
    CharacterStage unconnected;
    QVERIFY_THROWS_EXCEPTION(AgentError, unconnected.load(QStringLiteral("Tester"), QStringLiteral("tester.acs")));
}

void TestCharacterFiles::damagedFilesNeverCrash()
{
    // flipped bytes and cut ends, in a small file and in a real character
    // the picture reader complains about every damaged picture; that is expected here
    static QtMessageHandler previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext& context, const QString& text) {
            if (!text.contains(QLatin1String("libpng")))
                previous(type, context, text);
        });
    QRandomGenerator random(11);
    const QByteArray files[] = {CharacterFile::write(*testCharacter()),
                                readAll(builtCharacter(QStringLiteral("Robby")))};
    QVERIFY(!files[1].isEmpty());
    int loaded = 0;
    int refused = 0;
    for (const QByteArray& good : files) {
        const int rounds = good.size() > 100000 ? 60 : 600;
        for (int round = 0; round < rounds; ++round) {
            QByteArray bytes = good;
            const int flips = 1 + int(random.bounded(8));
            for (int i = 0; i < flips; ++i) {
                // the description is where most faults matter: aim there half the time
                const qsizetype limit = i % 2 ? bytes.size() : std::min<qsizetype>(bytes.size(), 4000);
                bytes[random.bounded(limit)] = char(random.bounded(256));
            }
            if (round % 3 == 0)
                bytes.truncate(random.bounded(bytes.size()));
            const CharacterFile::Result result = CharacterFile::parse(bytes);
            if (result.data) {
                ++loaded;
                QVERIFY(result.data->findAnimation(QStringLiteral("RestPose")) >= 0);
            } else {
                ++refused;
                QVERIFY(!result.error.isEmpty());
            }
        }
    }
    qInstallMessageHandler(previous);
    QVERIFY(refused > 0);
    qInfo("%d damaged files refused, %d still readable", refused, loaded);
}

void TestCharacterFiles::aPictureNamedAgainIsDecodedOnce()
{
    // every one of the most pictures a file may have names the same bytes
    const QByteArray good = CharacterFile::write(*testCharacter());
    const QByteArray file = rewrite(good, [](QJsonObject& root) {
        const QJsonValue first = root["images"].toArray().first();
        QJsonArray images;
        for (int i = 0; i < CharacterFile::MaxImages; ++i)
            images.append(first);
        root["images"] = images;
    });
    const CharacterFile::Result result = CharacterFile::parse(file);
    QVERIFY2(result.data, qPrintable(result.error));
    QCOMPARE(result.data->images.size(), size_t(CharacterFile::MaxImages));
    const uchar* pixels = result.data->images.front().constBits();
    for (const QImage& image : result.data->images)
        QVERIFY(image.constBits() == pixels);
}

void TestCharacterFiles::theFourCharacters_data()
{
    QTest::addColumn<QString>("name");
    for (const QString& name : Characters)
        QTest::newRow(qPrintable(name)) << name;
}

void TestCharacterFiles::theFourCharacters()
{
    QFETCH(QString, name);
    const CharacterFile::Result file = CharacterFile::load(builtCharacter(name));
    QVERIFY2(file.data, qPrintable(file.error));
    const CharacterData& data = *file.data;
    QCOMPARE(data.id, name);
    for (const char* animation : {"RestPose", "Show", "Hide", "Speak", "Wave", "THINK", "Idle1", "Idle2", "Idle3"})
        QVERIFY2(data.findAnimation(QLatin1String(animation)) >= 0, animation);
    QVERIFY(!data.idle.empty());
    auto frames = [&](const char* animation) {
        return data.animations[size_t(data.findAnimation(QLatin1String(animation)))].frames;
    };

    // a figure about 128 pixels tall standing on the bottom of the frame
    const QImage& rest = data.images[size_t(frames("RestPose").front().image)];
    QRect figure;
    opaquePixels(rest, &figure);
    QVERIFY2(figure.height() >= 120 && figure.height() <= 150, qPrintable(QString::number(figure.height())));
    QVERIFY(figure.width() >= 50);
    QVERIFY(figure.bottom() >= data.frameSize.height() - 8);

    // it speaks with its mouth: the speaking frames differ from the rest pose and from each other
    QSet<int> mouths;
    for (const CharacterFrame& frame : frames("Speak"))
        mouths.insert(frame.image);
    QVERIFY(mouths.size() >= 3);
    // it comes from nothing and goes to nothing
    QVERIFY(opaquePixels(data.images[size_t(frames("Show").front().image)]) < 50);
    QCOMPARE(frames("Show").back().image, frames("RestPose").front().image);
    QVERIFY(opaquePixels(data.images[size_t(frames("Hide").back().image)]) < 50);
    // waving and thinking move more than a few pixels
    for (const char* gesture : {"Wave", "Think"}) {
        int most = 0;
        for (const CharacterFrame& frame : frames(gesture)) {
            int changed = 0;
            const QImage& image = data.images[size_t(frame.image)];
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    changed += image.pixel(x, y) != rest.pixel(x, y);
            most = std::max(most, changed);
        }
        QVERIFY2(most > 400, gesture);
    }
}

QTEST_MAIN(TestCharacterFiles)
#include "test_character_files.moc"
