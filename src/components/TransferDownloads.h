#pragma once

#include "ComponentDownloads.h"

class TTransfer;

// Downloads through the window's transfer component, run straight on the GUI thread with
// its progress dialog.
class TransferDownloads final : public ComponentDownloads {
public:
    explicit TransferDownloads(TTransfer& transfer) : m_transfer(transfer) {}

    SiteDownload::Result fetch(const QString& url, const QString& folder) override
    {
        return SiteDownload::fetch(m_transfer, url, folder, SiteDownload::Run::Direct);
    }

private:
    TTransfer& m_transfer;
};
