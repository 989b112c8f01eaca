#pragma once

#include <QDateTime>
#include <QString>

// Name and path rules shared by every transfer operation.
namespace TransferNames {

// The last component of an address or path (after the last "/" or "\").
QString urlFileName(const QString& url);
// Host of an address, without scheme and user information; a port stays part of it.
QString urlHost(const QString& url);
// Path of an address from its first "/" on.
QString urlPath(const QString& url);
// The address after "://" up to the first "/", as shown in the login prompt's caption.
QString promptHost(const QString& url);
// An address as people type it, made fit for the network: spaces, control
// characters and non-ASCII letters are percent-encoded (UTF-8) and a "%" that
// starts no "%xx" becomes "%25"; what is already encoded stays as it is. The
// host is left for the client's own international-name handling.
QByteArray networkAddress(const QString& url);
// directory + "/" + name; an empty directory gives the name alone.
QString pathJoin(const QString& dir, const QString& name);
// Something has this name, be it a file, a folder or a link (even one that leads nowhere).
bool pathTaken(const QString& path);
// The first free "base(N).ext" for N = 1, 2, ...
QString uniqueFileName(const QString& path);
// Creates a directory and its missing parents; failures show when the file is created.
void forceDirectories(const QString& dir);
// A name taken from an address must stay a plain name inside the target folder.
bool isSafeFileName(const QString& name);

// Date-times: days since 30 December 1899, the fraction being the time of day.
double dateTimeFromFields(const QDate& date, const QTime& time);
double dateTimeFromLocal(const QDateTime& local);
double nowDateTime();
// A server's date (seconds since 1970, UTC) with its fields taken as they are;
// no date (negative) gives the current local date and time.
double serverDateTime(qint64 unixSeconds);

}  // namespace TransferNames
