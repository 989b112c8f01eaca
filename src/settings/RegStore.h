#pragma once

#include <QString>
#include <QStringList>

#include <stdexcept>
#include <vector>

// A failure reading the store, worded like the registry's own messages.
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One registry key kept in a text file in regedit's export form:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Brenmark\Linguaro]
//   "src"=dword:00000001
//   "lang"="English"
//
// Values are 32-bit integers or strings; value names compare without regard
// to case, as the registry does. Lines we do not write are kept byte for byte.
// The file is replaced atomically and is readable by its owner only, since it
// may hold a proxy password; a file that is a symbolic link stays one, and its
// target is replaced in the target's folder. A missing file is a missing key.
class RegStore {
public:
    enum class ValueType { Integer, String, Other };

    explicit RegStore(QString filePath = defaultPath());

    // $XDG_CONFIG_HOME/Brenmark/Linguaro.reg (default ~/.config/Brenmark/Linguaro.reg).
    static QString defaultPath();
    // The key's header line in the file.
    static const QString KeyLine;
    // The lines the store only keeps may take this much; its own values, the
    // ones written while the key is open, get the room beside it. A file is
    // replaced only when both fit, so whatever it writes it reads again.
    static constexpr qint64 MaxKeptSize = 1024 * 1024;
    static constexpr qint64 OwnValuesRoom = 64 * 1024;
    // Files beyond this size are not ours; they are neither read nor replaced.
    static constexpr qint64 MaxFileSize = MaxKeptSize + OwnValuesRoom;

    QString filePath() const { return m_path; }

    // Opens the key for reading only; false (and nothing read) when the file
    // or the key in it does not exist or cannot be read.
    bool openKeyReadOnly();
    // Opens the key for reading and writing; with canCreate a missing file or
    // key is created when the key is closed. False when it cannot be opened.
    bool openKey(bool canCreate);
    // Writes the changes of a writable key; false when writing failed or the
    // file would outgrow its limits (the file then stays as it was).
    bool closeKey();

    bool valueExists(const QString& name) const;
    ValueType getDataType(const QString& name) const;
    // Throw RegistryError for a missing value (integers only) or a value of
    // another type ("Invalid data type for 'src'").
    int readInteger(const QString& name) const;
    bool readBool(const QString& name) const;       // an integer; not 0 is true
    QString readString(const QString& name) const;  // missing: empty

    void writeInteger(const QString& name, int value);
    void writeBool(const QString& name, bool value);
    void writeString(const QString& name, const QString& value);

private:
    struct Line {
        QByteArray bytes;      // the line as it stands in the file, without its "\n"
        QString text;          // the line decoded, without its line end
        bool written = false;  // made while the key is open: written from `text`
        bool inKey = false;    // below our key's header, before the next header
        bool isValue = false;  // a well-formed "name"=data line inside our key
        QString name;
        ValueType type = ValueType::Other;
        QString data;  // the decoded string, or the dword's hex digits
    };

    bool load(bool mustExist);
    static Line parseLine(const QString& text, bool inKey);
    const Line* find(const QString& name) const;
    void setValue(const QString& name, const QString& lineText, ValueType type, const QString& data);
    // The file's bytes, and how many of them are kept lines and written ones.
    QByteArray serialise(qint64& keptSize, qint64& writtenSize) const;

    QString m_path;
    std::vector<Line> m_lines;
    bool m_open = false;
    bool m_writable = false;
    bool m_dirty = false;
    bool m_hasKey = false;
};
