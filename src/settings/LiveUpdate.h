#pragma once

#include <QString>

#include <memory>

class DownloadJob;
class TTransfer;

// Help > Update: fetches the version file from the site, compares it with the running
// version and, when the user agrees, downloads the new installer into the data folder
// and starts it. Each download is a job of its own, set up like the window's transfer
// component; the window stays live while it runs and the check goes on when it ends.
class LiveUpdate {
public:
    static constexpr int RunningVersion = 620;  // shown as "Version: 6.2"
    static const QString FolderName;            // "Linguaro Translator", in the data folder
    static const QString VersionFileName;       // "update.ini"

    explicit LiveUpdate(TTransfer& transfer);
    ~LiveUpdate();

    // Starts the check; refused while one is under way.
    void checkForUpdate();
    bool busy() const { return m_job != nullptr; }

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
    void versionFetched(const QString& address, const QString& dataFolder);
    void install(const QString& address, const QString& dataFolder);
    void installerFetched(const QString& address, const QString& dataFolder);
    // Starts a download whose end goes to `then`.
    void download(const QString& address, const QString& folder, void (LiveUpdate::*then)(const QString&, const QString&),
                  const QString& dataFolder);

    TTransfer& m_transfer;
    struct JobDeleter {
        void operator()(DownloadJob* job) const;
    };
    std::unique_ptr<DownloadJob, JobDeleter> m_job;  // the download under way
};
