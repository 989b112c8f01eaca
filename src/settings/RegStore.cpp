#include "RegStore.h"

#include "AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

const QString RegStore::KeyLine = QStringLiteral("[HKEY_CURRENT_USER\\Software\\Brenmark\\Linguaro]");

namespace {

const QString FileHeader = QStringLiteral("REGEDIT4");

QString configHome()
{
    // relative paths in XDG variables are to be ignored
    const QString xdg = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return xdg;
    return QDir::homePath() + QStringLiteral("/.config");
}

QString escaped(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    for (QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '"':
            out += QStringLiteral("\\\"");
            break;
        // a raw line break would cut the value in two; these escapes are ours
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        default:
            out += c;
        }
    }
    return out;
}

// Reads a quoted, escaped text starting at text[pos] == '"'. On success pos is
// just behind the closing quote.
bool unquote(const QString& text, qsizetype& pos, QString& out)
{
    if (pos >= text.size() || text[pos] != u'"')
        return false;
    out.clear();
    for (qsizetype i = pos + 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"') {
            pos = i + 1;
            return true;
        }
        if (c != u'\\') {
            out += c;
            continue;
        }
        if (++i >= text.size())
            return false;
        switch (text[i].unicode()) {
        case '\\':
            out += u'\\';
            break;
        case '"':
            out += u'"';
            break;
        case 'n':
            out += u'\n';
            break;
        case 'r':
            out += u'\r';
            break;
        default:
            return false;
        }
    }
    return false;
}

bool isHeaderLine(const QString& text)
{
    const QString t = text.trimmed();
    return t.startsWith(u'[') && t.endsWith(u']');
}

}  // namespace

RegStore::RegStore(QString filePath) : m_path(std::move(filePath)) {}

QString RegStore::defaultPath() { return configHome() + QStringLiteral("/Brenmark/Linguaro.reg"); }

RegStore::Line RegStore::parseLine(const QString& text, bool inKey)
{
    Line line;
    line.text = text;
    line.inKey = inKey;
    if (!inKey)
        return line;
    const QString t = text.trimmed();
    qsizetype pos = 0;
    QString name;
    if (!unquote(t, pos, name) || pos >= t.size() || t[pos] != u'=')
        return line;
    line.isValue = true;
    line.name = name;
    const QString data = t.mid(pos + 1);
    if (data.startsWith(QStringLiteral("dword:"), Qt::CaseInsensitive)) {
        const QString hex = data.mid(6);
        const bool digits = std::all_of(hex.begin(), hex.end(), [](QChar c) {
            return c.isDigit() || (c.toLower() >= u'a' && c.toLower() <= u'f');
        });
        if (digits && !hex.isEmpty() && hex.size() <= 8) {
            line.type = ValueType::Integer;
            line.data = hex;
        }
        return line;
    }
    qsizetype dpos = 0;
    QString value;
    if (unquote(data, dpos, value) && dpos == data.size()) {
        line.type = ValueType::String;
        line.data = value;
    }
    return line;
}

bool RegStore::load(bool mustExist)
{
    m_lines.clear();
    m_hasKey = false;
    m_dirty = false;
    const QFileInfo info(m_path);
    if (!info.exists())
        return !mustExist;
    if (!info.isFile() || info.size() > MaxFileSize)
        return false;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.read(MaxFileSize + 1);
    if (bytes.size() > MaxFileSize)
        return false;
    QList<QByteArray> lines = bytes.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    bool inKey = false;
    for (const QByteArray& raw : lines) {
        // each line decoded on its own: one in another code page spoils no other
        QString l = QString::fromUtf8(raw.endsWith('\r') ? raw.chopped(1) : raw);
        if (m_lines.empty() && l.startsWith(QChar(0xFEFF)))
            l.remove(0, 1);
        Line line;
        if (isHeaderLine(l)) {
            inKey = l.trimmed().compare(KeyLine, Qt::CaseInsensitive) == 0;
            m_hasKey = m_hasKey || inKey;
            line.text = l;
            line.inKey = inKey;
        } else {
            line = parseLine(l, inKey);
        }
        line.bytes = raw;
        m_lines.push_back(std::move(line));
    }
    return true;
}

bool RegStore::openKeyReadOnly()
{
    m_open = load(true) && m_hasKey;
    m_writable = false;
    if (!m_open)
        m_lines.clear();
    return m_open;
}

bool RegStore::openKey(bool canCreate)
{
    m_open = false;
    m_writable = false;
    if (!load(!canCreate) || (!m_hasKey && !canCreate))
        return false;
    if (!m_hasKey) {
        if (!m_lines.empty() && !m_lines.back().text.trimmed().isEmpty()) {
            Line blank;
            blank.written = true;
            m_lines.push_back(std::move(blank));
        }
        Line header;
        header.text = KeyLine;
        header.written = true;
        header.inKey = true;
        m_lines.push_back(std::move(header));
        m_hasKey = true;
        m_dirty = true;
    }
    m_open = true;
    m_writable = true;
    return true;
}

QByteArray RegStore::serialise(qint64& keptSize, qint64& writtenSize) const
{
    QByteArray out;
    if (m_lines.empty() || m_lines.front().text.trimmed() != FileHeader)
        out += FileHeader.toUtf8() + "\n\n";
    keptSize = out.size();
    writtenSize = 0;
    for (const Line& l : m_lines) {
        const QByteArray bytes = (l.written ? l.text.toUtf8() : l.bytes) + '\n';
        (l.written ? writtenSize : keptSize) += bytes.size();
        out += bytes;
    }
    return out;
}

bool RegStore::closeKey()
{
    bool ok = true;
    if (m_open && m_writable && m_dirty) {
        qint64 keptSize = 0;
        qint64 writtenSize = 0;
        const QByteArray bytes = serialise(keptSize, writtenSize);
        // a file that would not be read again is not written: the old one stays in force
        ok = keptSize <= MaxKeptSize && writtenSize <= OwnValuesRoom;
        if (ok) {
            // Dotfiles kept in a managed folder are linked into place: the link stays
            // and its target is what gets replaced.
            AtomicFile file;
            QDir().mkpath(QFileInfo(AtomicFile::linkEnd(m_path)).absolutePath());
            ok = file.open(m_path, {}, AtomicFile::Link::Follow)
                 && file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)
                 && file.write(bytes.constData(), bytes.size()) == bytes.size() && file.commit();
        }
    }
    m_open = false;
    m_writable = false;
    m_dirty = false;
    m_lines.clear();
    return ok;
}

const RegStore::Line* RegStore::find(const QString& name) const
{
    // a name given twice: the later line wins, as on import
    for (auto it = m_lines.rbegin(); it != m_lines.rend(); ++it) {
        if (it->isValue && it->name.compare(name, Qt::CaseInsensitive) == 0)
            return &*it;
    }
    return nullptr;
}

bool RegStore::valueExists(const QString& name) const { return m_open && find(name) != nullptr; }

RegStore::ValueType RegStore::getDataType(const QString& name) const
{
    const Line* line = m_open ? find(name) : nullptr;
    return line ? line->type : ValueType::Other;
}

int RegStore::readInteger(const QString& name) const
{
    const Line* line = m_open ? find(name) : nullptr;
    if (!line)
        throw RegistryError(QStringLiteral("Failed to get data for '%1'").arg(name).toStdString());
    if (line->type != ValueType::Integer)
        throw RegistryError(QStringLiteral("Invalid data type for '%1'").arg(name).toStdString());
    return static_cast<int>(line->data.toUInt(nullptr, 16));
}

bool RegStore::readBool(const QString& name) const { return readInteger(name) != 0; }

QString RegStore::readString(const QString& name) const
{
    const Line* line = m_open ? find(name) : nullptr;
    if (!line)
        return QString();
    if (line->type != ValueType::String)
        throw RegistryError(QStringLiteral("Invalid data type for '%1'").arg(name).toStdString());
    return line->data;
}

void RegStore::setValue(const QString& name, const QString& lineText, ValueType type, const QString& data)
{
    if (!m_open || !m_writable)
        throw RegistryError(QStringLiteral("Failed to set data for '%1'").arg(name).toStdString());
    Line fresh;
    fresh.text = lineText;
    fresh.written = true;
    fresh.inKey = true;
    fresh.isValue = true;
    fresh.name = name;
    fresh.type = type;
    fresh.data = data;
    m_dirty = true;

    auto same = [&](const Line& l) { return l.isValue && l.name.compare(name, Qt::CaseInsensitive) == 0; };
    auto first = std::find_if(m_lines.begin(), m_lines.end(), same);
    if (first != m_lines.end()) {
        *first = fresh;
        m_lines.erase(std::remove_if(first + 1, m_lines.end(), same), m_lines.end());
        return;
    }
    // behind the last non-blank line of the key
    auto last = std::find_if(m_lines.rbegin(), m_lines.rend(),
                             [](const Line& l) { return l.inKey && !l.text.trimmed().isEmpty(); });
    m_lines.insert(last.base(), fresh);
}

void RegStore::writeInteger(const QString& name, int value)
{
    const QString hex = QStringLiteral("%1").arg(static_cast<quint32>(value), 8, 16, QChar(u'0'));
    setValue(name, QStringLiteral("\"%1\"=dword:%2").arg(escaped(name), hex), ValueType::Integer, hex);
}

void RegStore::writeBool(const QString& name, bool value) { writeInteger(name, value ? 1 : 0); }

void RegStore::writeString(const QString& name, const QString& value)
{
    setValue(name, QStringLiteral("\"%1\"=\"%2\"").arg(escaped(name), escaped(value)), ValueType::String, value);
}
