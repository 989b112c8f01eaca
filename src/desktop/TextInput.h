#pragma once

#include <QByteArray>
#include <QString>

// Text that arrives as bytes from another program (standard input): UTF-8,
// or UTF-16 or UTF-32 when it starts with a byte-order mark. Anything else is
// refused with the reason rather than translated as garbage.
namespace TextInput {

// Largest input taken, in bytes.
constexpr qint64 Limit = qint64(64) * 1024 * 1024;

// The text of `bytes`, or an empty text and the reason in `problem` (which
// names the input as `what`, e.g. "standard input").
QString decode(const QByteArray& bytes, const QString& what, QString& problem);

// Offset of the first byte that does not belong to a well-formed UTF-8
// character, or -1 when all of them do.
qsizetype firstInvalidUtf8(const QByteArray& bytes);

}  // namespace TextInput
