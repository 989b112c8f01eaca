#pragma once

#include "DownloadJob.h"

#include <QString>

class TTransfer;

// Fetches one file into a folder for a caller that goes on only once it has
// it: a download job of its own, set up like the given component, with its
// progress dialog.
class SiteDownload {
public:
    using Result = DownloadResult;

    // Starts the job and returns its result once it has ended.
    static Result fetch(const TTransfer& like, const QString& url, const QString& targetDir);
};
