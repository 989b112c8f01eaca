#include "RegStore.h"
#include "StoreFixture.h"

#include <QFileInfo>

namespace {

using StoreTest = StoreFixture;

QString errorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const RegistryError& e) {
        return QString::fromStdString(e.what());
    }
    return QString();
}

TEST_F(StoreTest, DefaultPathFollowsXdgConfigHome)
{
    EXPECT_EQ(RegStore::defaultPath(), storePath());
    qputenv("XDG_CONFIG_HOME", "relative/dir");  // ignored, as XDG asks
    EXPECT_TRUE(RegStore::defaultPath().endsWith("/.config/Brenmark/Linguaro.reg"));
}

TEST_F(StoreTest, MissingFileIsAMissingKeyAndIsCreatedOnlyForWriting)
{
    RegStore store;
    EXPECT_FALSE(store.openKeyReadOnly());
    EXPECT_FALSE(store.openKey(false));
    EXPECT_FALSE(QFileInfo::exists(storePath()));

    ASSERT_TRUE(store.openKey(true));
    ASSERT_TRUE(store.closeKey());
    EXPECT_EQ(fileBytes(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Brenmark\\Linguaro]\n");
}

TEST_F(StoreTest, WritesRegeditFormAndReadsItBack)
{
    RegStore store;
    ASSERT_TRUE(store.openKey(true));
    store.writeInteger("src", 1);
    store.writeInteger("trg", -1);
    store.writeString("lang", "English");
    store.writeString("Password", "a\\b\"c %1 é\nline");
    ASSERT_TRUE(store.closeKey());
    EXPECT_EQ(fileBytes(), "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Brenmark\\Linguaro]\n"
                           "\"src\"=dword:00000001\n\"trg\"=dword:ffffffff\n\"lang\"=\"English\"\n"
                           "\"Password\"=\"a\\\\b\\\"c %1 \xc3\xa9\\nline\"\n");

    RegStore again;
    ASSERT_TRUE(again.openKeyReadOnly());
    EXPECT_EQ(again.readInteger("src"), 1);
    EXPECT_EQ(again.readInteger("trg"), -1);
    EXPECT_EQ(again.readString("LANG"), "English");  // names compare without case
    EXPECT_EQ(again.readString("Password"), QString::fromUtf8("a\\b\"c %1 é\nline"));
    EXPECT_FALSE(again.valueExists("voice"));
    EXPECT_EQ(again.readString("voice"), "");
}

TEST_F(StoreTest, FileIsReplacedWithOwnerOnlyMode)
{
    writeKey("\"UseProxy\"=dword:00000001\n");
    QFile::setPermissions(storePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                                           | QFileDevice::ReadOther);
    RegStore store;
    ASSERT_TRUE(store.openKey(true));
    store.writeString("Password", "secret");
    ASSERT_TRUE(store.closeKey());
    const auto ownerGroupOther = QFileDevice::Permissions(0x7000 | 0x0070 | 0x0007);
    EXPECT_EQ(QFileInfo(storePath()).permissions() & ownerGroupOther, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(QDir(m_dir.path() + "/Brenmark").entryList(QDir::Files | QDir::Hidden),
              QStringList{"Linguaro.reg"});  // no temporary left behind
}

TEST_F(StoreTest, WrongTypeRaisesTheRegistryMessage)
{
    writeKey("\"src\"=\"English\"\n\"lang\"=dword:00000002\n\"blob\"=hex:01,02\n\"short\"=dword:1f\n");
    RegStore store;
    ASSERT_TRUE(store.openKeyReadOnly());
    EXPECT_EQ(errorOf([&] { store.readInteger("src"); }), "Invalid data type for 'src'");
    EXPECT_EQ(errorOf([&] { store.readString("lang"); }), "Invalid data type for 'lang'");
    EXPECT_EQ(errorOf([&] { store.readBool("blob"); }), "Invalid data type for 'blob'");
    EXPECT_EQ(errorOf([&] { store.readString("blob"); }), "Invalid data type for 'blob'");
    EXPECT_EQ(errorOf([&] { store.readInteger("absent"); }), "Failed to get data for 'absent'");
    EXPECT_EQ(store.readInteger("short"), 31);
}

TEST_F(StoreTest, UnknownLinesAndOtherKeysAreKept)
{
    const QByteArray original =
        "REGEDIT4\n\n; a note\n[HKEY_CURRENT_USER\\Software\\Other]\n\"src\"=dword:00000007\n\n"
        "[HKEY_CURRENT_USER\\Software\\Brenmark\\Linguaro]\n@=\"default\"\n\"src\"=dword:00000002\n"
        "\"odd\"=hex(2):41,00\n\"SRC\"=dword:00000003\n\n[HKEY_CURRENT_USER\\Software\\Later]\n\"x\"=\"y\"\n";
    writeFile(original);
    RegStore store;
    ASSERT_TRUE(store.openKeyReadOnly());
    EXPECT_EQ(store.readInteger("src"), 3);  // the later of two lines wins; other keys do not count
    EXPECT_FALSE(store.valueExists("x"));
    store.closeKey();

    ASSERT_TRUE(store.openKey(false));
    store.writeInteger("src", 4);
    store.writeString("lang", "Dutch");
    ASSERT_TRUE(store.closeKey());
    EXPECT_EQ(fileBytes(),
              "REGEDIT4\n\n; a note\n[HKEY_CURRENT_USER\\Software\\Other]\n\"src\"=dword:00000007\n\n"
              "[HKEY_CURRENT_USER\\Software\\Brenmark\\Linguaro]\n@=\"default\"\n\"src\"=dword:00000004\n"
              "\"odd\"=hex(2):41,00\n\"lang\"=\"Dutch\"\n\n[HKEY_CURRENT_USER\\Software\\Later]\n\"x\"=\"y\"\n");
}

TEST_F(StoreTest, HostileFilesNeverCrashOrLeak)
{
    // garbage without a header: no key to read; writing adds the header and keeps the bytes
    writeFile(QByteArray("\x00\xff\xfe garbage \"src\"=dword:zz\n\"", 26));
    RegStore store;
    EXPECT_FALSE(store.openKeyReadOnly());
    ASSERT_TRUE(store.openKey(true));
    store.writeInteger("src", 5);
    ASSERT_TRUE(store.closeKey());
    ASSERT_TRUE(store.openKeyReadOnly());
    EXPECT_EQ(store.readInteger("src"), 5);
    EXPECT_TRUE(fileBytes().startsWith("REGEDIT4\n\n"));
    store.closeKey();

    // bad escapes, unterminated strings, overlong dwords: values of no usable type
    writeKey("\"a\"=\"bad\\q\"\n\"b\"=\"open\n\"c\"=dword:123456789\n\"d\"=\"x\"tail\n\"e\\\n");
    ASSERT_TRUE(store.openKeyReadOnly());
    for (const char* name : {"a", "b", "c", "d"})
        EXPECT_FALSE(errorOf([&] { store.readString(name); }).isEmpty()) << name;
    EXPECT_FALSE(store.valueExists("e"));
    store.closeKey();

    // one huge line is read as it is
    writeKey("\"lang\"=\"" + QByteArray(900 * 1024, 'x') + "\"\n");
    ASSERT_TRUE(store.openKeyReadOnly());
    EXPECT_EQ(store.readString("lang").size(), 900 * 1024);
    store.closeKey();

    // beyond the size limit the file is not ours: neither read nor replaced
    writeKey("\"src\"=dword:00000001\n" + QByteArray(RegStore::MaxFileSize, '#'));
    const qint64 size = QFileInfo(storePath()).size();
    EXPECT_FALSE(store.openKeyReadOnly());
    EXPECT_FALSE(store.openKey(true));
    EXPECT_EQ(QFileInfo(storePath()).size(), size);
}

// What the translator writes it reads again: its own values never push the
// lines it only keeps past the limit. Lines kept beyond their share leave the
// file as it was, and still read.
TEST_F(StoreTest, AFileWrittenIsAlwaysReadAgain)
{
    const QByteArray own(40 * 1024, 'p');
    for (const qint64 kept : {RegStore::MaxKeptSize - 200, RegStore::MaxKeptSize + 200}) {
        SCOPED_TRACE(kept);
        const QByteArray header =
            "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Brenmark\\Linguaro]\n\"src\"=dword:00000001\n";
        const QByteArray original = header + "; " + QByteArray(kept - header.size() - 3, '#') + "\n";
        ASSERT_EQ(original.size(), kept);
        writeFile(original);
        RegStore store;
        ASSERT_TRUE(store.openKey(true));
        store.writeInteger("src", 2);
        store.writeString("Password", QString::fromLatin1(own));
        const bool written = store.closeKey();
        EXPECT_EQ(written, kept <= RegStore::MaxKeptSize);
        if (written)
            EXPECT_GT(fileBytes().size(), RegStore::MaxKeptSize);  // past the kept lines' share, read all the same
        else
            EXPECT_EQ(fileBytes(), original);

        ASSERT_TRUE(store.openKeyReadOnly());
        EXPECT_EQ(store.readInteger("src"), written ? 2 : 1);
        EXPECT_EQ(store.readString("Password").size(), written ? own.size() : 0);
        store.closeKey();
    }
}

// Lines the translator only keeps go back byte for byte, whatever their code
// page or line ends; only the values it writes are its own UTF-8.
TEST_F(StoreTest, KeptLinesKeepTheirBytes)
{
    const QByteArray kept[] = {
        "\xef\xbb\xbfREGEDIT4",
        "",
        "[HKEY_CURRENT_USER\\Software\\Other]",
        "\"name\"=\"Espa\xf1ol\"\r",
        "[HKEY_CURRENT_USER\\Software\\Brenmark\\Linguaro]",
        "\"note\"=\"Espa\xf1ol \x80 \xc3\"",
        "; \xff\xfe binary",
        "\"lang\"=\"English\"",
    };
    QByteArray original;
    for (const QByteArray& line : kept)
        original += line + "\n";
    writeFile(original);
    RegStore store;
    ASSERT_TRUE(store.openKey(false));
    EXPECT_EQ(store.readString("note"), QString::fromUtf8("Espa\xf1ol \x80 \xc3"));
    store.writeString("lang", QString::fromUtf8("Espa\xc3\xb1ol"));
    ASSERT_TRUE(store.closeKey());
    QByteArray expected = original;
    expected.replace("\"lang\"=\"English\"", "\"lang\"=\"Espa\xc3\xb1ol\"");
    EXPECT_EQ(fileBytes(), expected);
}

// People keep their dotfiles in a managed folder and link them in place: the
// link stays, and its target is replaced atomically in its own folder.
TEST_F(StoreTest, ALinkedFileIsWrittenThroughItsLink)
{
    const QString managed = m_dir.path() + "/dotfiles";
    QDir().mkpath(managed);
    QDir().mkpath(m_dir.path() + "/Brenmark");
    for (const bool targetExists : {true, false}) {
        SCOPED_TRACE(targetExists);
        const QString target = managed + (targetExists ? "/Linguaro.reg" : "/new/Linguaro.reg");
        if (targetExists) {
            QFile f(target);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Brenmark\\Linguaro]\n\"src\"=dword:00000001\n");
        }
        QFile::remove(storePath());
        ASSERT_TRUE(QFile::link(QDir(m_dir.path() + "/Brenmark").relativeFilePath(target), storePath()));

        RegStore store;
        EXPECT_EQ(store.openKeyReadOnly(), targetExists);
        store.closeKey();
        ASSERT_TRUE(store.openKey(true));
        store.writeInteger("trg", 5);
        ASSERT_TRUE(store.closeKey());

        EXPECT_TRUE(QFileInfo(storePath()).isSymLink());
        EXPECT_EQ(QFileInfo(storePath()).symLinkTarget(), target);
        ASSERT_TRUE(store.openKeyReadOnly());
        EXPECT_EQ(store.readInteger("trg"), 5);
        EXPECT_EQ(store.valueExists("src"), targetExists);
        store.closeKey();
        EXPECT_EQ(QFileInfo(target).permissions() & QFileDevice::Permissions(0x0077), QFileDevice::Permissions());
        // nothing left beside the link or the target
        EXPECT_EQ(QDir(m_dir.path() + "/Brenmark").entryList(QDir::Files | QDir::System | QDir::Hidden),
                  QStringList{"Linguaro.reg"});
        EXPECT_EQ(QDir(QFileInfo(target).path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Linguaro.reg"});
    }
}

TEST_F(StoreTest, AFolderInPlaceOfTheFileIsNoKey)
{
    QDir().mkpath(storePath());
    RegStore store;
    EXPECT_FALSE(store.openKeyReadOnly());
    EXPECT_FALSE(store.openKey(true));
    EXPECT_TRUE(QFileInfo(storePath()).isDir());
}

TEST_F(StoreTest, WritingARefusedKeyRaises)
{
    writeKey("\"src\"=dword:00000001\n");
    RegStore store;
    ASSERT_TRUE(store.openKeyReadOnly());
    EXPECT_EQ(errorOf([&] { store.writeInteger("src", 2); }), "Failed to set data for 'src'");
}

}  // namespace
