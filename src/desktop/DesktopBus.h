#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

class QDBusArgument;

// The translator's name, object and interface on the session bus, and the
// errors its replies carry.
namespace DesktopBus {

inline const QString ServiceName = QStringLiteral("com.brenmark.Linguaro");
inline const QString ObjectPath = QStringLiteral("/com/brenmark/Linguaro");
inline const QString Interface = QStringLiteral("com.brenmark.Linguaro");

// A translation or a selection is under way; the request may be made again later.
inline const QString BusyError = QStringLiteral("com.brenmark.Linguaro.Error.Busy");
// Neither the selection nor the clipboard holds text.
inline const QString NoSelectionError = QStringLiteral("com.brenmark.Linguaro.Error.NoSelection");
// The translation service failed; the message says how.
inline const QString FailedError = QStringLiteral("com.brenmark.Linguaro.Error.Failed");
// The text or a language code was refused; the message says why.
inline const QString InvalidArgsError = QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs");

// Makes the types below known to the bus layer; once, before the first call or export.
void registerTypes();

}  // namespace DesktopBus

// One entry of the language lists on the bus: (code, name), code in lower case as typed.
struct LanguageEntry {
    QString code;
    QString name;
};
using LanguageEntries = QList<LanguageEntry>;

QDBusArgument& operator<<(QDBusArgument& argument, const LanguageEntry& entry);
const QDBusArgument& operator>>(const QDBusArgument& argument, LanguageEntry& entry);

Q_DECLARE_METATYPE(LanguageEntry)
Q_DECLARE_METATYPE(LanguageEntries)
