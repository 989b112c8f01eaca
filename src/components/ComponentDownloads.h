#pragma once

#include "SiteDownload.h"

#include <QString>

// Where the component installers come from: one file fetched into a folder, told as a
// whole file, a failure with its reason, or a cancel.
class ComponentDownloads {
public:
    virtual ~ComponentDownloads() = default;
    virtual SiteDownload::Result fetch(const QString& url, const QString& folder) = 0;
};
