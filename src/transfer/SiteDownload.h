#pragma once

#include <QString>

class TTransfer;

// Fetches one file into a folder through a transfer component (with its progress
// dialog) and tells whether a whole file arrived: a failed, cancelled or empty
// download never counts, whatever an older file of that name says.
class SiteDownload {
public:
    struct Result {
        bool ok = false;
        bool cancelled = false;  // the user cancelled; nothing to report
        QString path;            // the file the transfer stored
        QString reason;          // why no file arrived, for the user
    };

    // How the run is started: ThreadExecute, or Execute straight on the calling thread. Both
    // keep the window live while they wait.
    enum class Run { OnThread, Direct };

    // Clears the component's job list, adds one job and waits for it while the window stays
    // live. Refused, without touching the job list, while the component is still busy with
    // another run (its jobs are in use until that run ends).
    static Result fetch(TTransfer& transfer, const QString& url, const QString& targetDir, Run run = Run::OnThread);
};
