#pragma once

#include <QByteArray>
#include <QString>

// Standard Base64 (RFC 4648 section 4) with "=" padding and no line breaks.
QString base64Encode(const QByteArray& data);
