#pragma once

#include <QString>

// Texts of the progress dialog: sizes, rates and times.
namespace TransferFormat {

QString formatSize(quint32 n);
QString formatRate(qint32 bytesPerSecond);
// Remaining time at the average rate so far (done > 0), else the elapsed time itself.
QString formatTime(quint32 elapsed, quint32 done, quint32 total);
// Shown in the time-left line when no total is known.
inline const char* const UnknownTime = "unknown";

}  // namespace TransferFormat
