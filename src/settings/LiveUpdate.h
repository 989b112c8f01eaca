#pragma once

#include <QString>

class TTransfer;

// Help > Update: fetches the version file from the site, compares it with the running
// version and, when the user agrees, downloads the new installer into the data folder
// and starts it.
class LiveUpdate {
public:
    static constexpr int RunningVersion = 620;  // shown as "Version: 6.2"
    static const QString FolderName;            // "Linguaro Translator", in the data folder
    static const QString VersionFileName;       // "update.ini"

    explicit LiveUpdate(TTransfer& transfer) : m_transfer(transfer) {}

    void checkForUpdate();

    // The name the installer is stored under in the data folder: the last path segment
    // of its address, as the transfer names what it downloads. Empty when the address
    // names no file.
    static QString installerNameFromUrl(const QString& url);

    struct VersionFile {
        bool ok = false;
        int version = 0;
        QString installer;  // second line, as written
        QString problem;    // why the first line is no version
    };
    static VersionFile readVersionFile(const QString& path);

private:
    void install(const QString& address, const QString& dataFolder);

    TTransfer& m_transfer;
};
