#include "Base64.h"

QString base64Encode(const QByteArray& data)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    QString out;
    out.reserve((data.size() + 2) / 3 * 4);
    const auto byte = [&data](qsizetype i) { return quint32(quint8(data[i])); };
    qsizetype i = 0;
    for (; i + 2 < data.size(); i += 3) {
        const quint32 v = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
        for (int shift = 18; shift >= 0; shift -= 6)
            out += QLatin1Char(alphabet[(v >> shift) & 63]);
    }
    const qsizetype rest = data.size() - i;
    if (rest > 0) {
        const quint32 v = byte(i) << 16 | (rest == 2 ? byte(i + 1) << 8 : 0);
        out += QLatin1Char(alphabet[(v >> 18) & 63]);
        out += QLatin1Char(alphabet[(v >> 12) & 63]);
        out += rest == 2 ? QLatin1Char(alphabet[(v >> 6) & 63]) : QLatin1Char('=');
        out += QLatin1Char('=');
    }
    return out;
}
