#pragma once

#include "ComponentDownloads.h"

class TTransfer;

// Downloads as jobs of their own, set up like the window's transfer component, with
// their progress dialog.
class TransferDownloads final : public ComponentDownloads {
public:
    explicit TransferDownloads(TTransfer& transfer) : m_transfer(transfer) {}

    SiteDownload::Result fetch(const QString& url, const QString& folder) override
    {
        return SiteDownload::fetch(m_transfer, url, folder);
    }

private:
    TTransfer& m_transfer;
};
