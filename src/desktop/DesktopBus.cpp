#include "DesktopBus.h"

#include <QDBusArgument>
#include <QDBusMetaType>

namespace DesktopBus {

void registerTypes()
{
    qDBusRegisterMetaType<LanguageEntry>();
    qDBusRegisterMetaType<LanguageEntries>();
}

}  // namespace DesktopBus

QDBusArgument& operator<<(QDBusArgument& argument, const LanguageEntry& entry)
{
    argument.beginStructure();
    argument << entry.code << entry.name;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, LanguageEntry& entry)
{
    argument.beginStructure();
    argument >> entry.code >> entry.name;
    argument.endStructure();
    return argument;
}
