#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>

#include <vector>

struct TFileDetailItem;

// One entry of a remote directory listing, as the server described it.
struct FtpListEntry {
    QString name;
    bool isDir = false;
    quint64 size = 0;
    // The server's modification time, fields as given (kept in a UTC QDateTime
    // only so that no daylight-saving rule shifts them); invalid when unknown.
    QDateTime modified;
};

// Machine listing (one "fact=value;...; name" line per entry). The entries for
// the directory itself and its parent are left out; lines that are not entries
// are skipped.
std::vector<FtpListEntry> parseMlsdListing(const QByteArray& data);

// Classic listing in the Unix "ls -l" form or the DOS form. A Unix date without
// a year is placed in the latest year that does not put it after `today`.
// Lines in neither form ("total 12", banners, garbage) are skipped.
std::vector<FtpListEntry> parseListListing(const QByteArray& data, const QDate& today);

// One Unix or DOS listing line; false when the line is in neither form.
bool parseListLine(const QString& line, const QDate& today, FtpListEntry& entry);

// Wildcard match of a listing name: "*" any run, "?" one character. An empty
// pattern, "*" and "*.*" match every name.
bool ftpPatternMatches(const QString& pattern, const QString& name);

// True when a name taken from a server may serve as a local file name: not
// empty, not "." or "..", no path separator, no control character.
bool isSafeListingName(const QString& name);

// A listing date as a 64-bit file time (100 ns units since 1601), fields as given.
quint64 ftpTimeToFileTime(const QDateTime& t);

// The entry as the component reports it in FileDetails.
TFileDetailItem ftpEntryToDetailItem(const FtpListEntry& entry);
