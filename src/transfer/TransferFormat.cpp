#include "TransferFormat.h"

#include <QLocale>

#include <cmath>

namespace TransferFormat {

namespace {
// Rounds half to even, as every figure of the dialog does.
double roundEven(double x) { return std::nearbyint(x); }

QString fixed2(double value)
{
    QLocale locale;
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'f', 2);
}

QString scaled(double n, const char* bytes, const char* kilo, const char* mega)
{
    if (n < 1000)
        return QString::number(qint64(n)) + QLatin1String(bytes);
    if (n < 1000000)
        return fixed2(n / 1000) + QLatin1String(kilo);
    return fixed2(n / 1000000) + QLatin1String(mega);
}
}  // namespace

QString formatSize(quint32 n) { return scaled(double(n), " bytes", " Kb", " Mb"); }

QString formatRate(qint32 n)
{
    if (n < 1000)
        return QString::number(n) + QLatin1String(" bytes/sec");
    return scaled(double(n), " bytes/sec", " Kb/sec", " Mb/sec");
}

QString formatTime(quint32 elapsed, quint32 done, quint32 total)
{
    double x = elapsed;
    if (done > 0) {
        // Without a total (or past it) there is nothing to project from.
        if (total == 0 || done > total)
            return QLatin1String(UnknownTime);
        x = double(total - done) * double(elapsed) / double(done);
    }
    const double ms = roundEven(x);
    const double secs = roundEven(ms / 1000);
    const double mins = roundEven(secs / 60);
    const double hours = roundEven(mins / 60);
    if (mins == 0 && hours == 0)
        return QString::number(qint64(secs)) + QLatin1String(" sec.");
    if (hours <= 0)
        return QString::number(qint64(mins)) + QLatin1String(" minutes");
    const qint64 m = qint64(mins);
    return QString::number(m / 60) + QLatin1String("h ") + QString::number(m % 60);
}

}  // namespace TransferFormat
