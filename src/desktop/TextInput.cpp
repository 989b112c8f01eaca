#include "TextInput.h"

#include <QStringDecoder>

namespace TextInput {

qsizetype firstInvalidUtf8(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        const unsigned char lead = data[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        int length = 0;
        // the smallest second byte for each lead keeps overlong forms and surrogates out
        unsigned char low = 0x80, high = 0xbf;
        if (lead >= 0xc2 && lead <= 0xdf) {
            length = 2;
        } else if (lead >= 0xe0 && lead <= 0xef) {
            length = 3;
            if (lead == 0xe0)
                low = 0xa0;
            else if (lead == 0xed)
                high = 0x9f;
        } else if (lead >= 0xf0 && lead <= 0xf4) {
            length = 4;
            if (lead == 0xf0)
                low = 0x90;
            else if (lead == 0xf4)
                high = 0x8f;
        } else {
            return i;
        }
        if (i + length > size || data[i + 1] < low || data[i + 1] > high)
            return i;
        for (int k = 2; k < length; ++k)
            if ((data[i + k] & 0xc0) != 0x80)
                return i;
        i += length;
    }
    return -1;
}

QString decode(const QByteArray& bytes, const QString& what, QString& problem)
{
    problem.clear();
    const auto marked = QStringConverter::encodingForData(bytes);
    QString text;
    if (marked && *marked != QStringConverter::Utf8) {
        QStringDecoder decoder(*marked);
        text = decoder.decode(bytes);
        if (decoder.hasError()) {
            problem = QStringLiteral("%1 starts with a byte-order mark but is not %2 text.")
                          .arg(what, QString::fromLatin1(QStringConverter::nameForEncoding(*marked)));
            return {};
        }
    } else {
        const qsizetype zero = bytes.indexOf('\0');
        if (zero >= 0) {
            problem = QStringLiteral("%1 holds binary data (a zero byte at offset %2), not text.").arg(what).arg(zero);
            return {};
        }
        const qsizetype invalid = firstInvalidUtf8(bytes);
        if (invalid >= 0) {
            problem = QStringLiteral("%1 is not UTF-8 text (byte 0x%2 at offset %3 starts no UTF-8 character); "
                                     "convert it first, for example with iconv.")
                          .arg(what)
                          .arg(uchar(bytes.at(invalid)), 2, 16, QLatin1Char('0'))
                          .arg(invalid);
            return {};
        }
        text = QString::fromUtf8(bytes);
        if (text.startsWith(QChar(0xfeff)))
            text.remove(0, 1);
        return text;
    }
    if (text.startsWith(QChar(0xfeff)))
        text.remove(0, 1);
    if (text.contains(QChar(0))) {
        problem = QStringLiteral("%1 holds binary data (a zero character), not text.").arg(what);
        return {};
    }
    return text;
}

}  // namespace TextInput
