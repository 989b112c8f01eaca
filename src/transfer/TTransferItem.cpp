#include "TTransferItem.h"

TFileDetailItem* TFileDetailItems::Add()
{
    m_items.push_back(std::make_unique<TFileDetailItem>());
    return m_items.back().get();
}

void TTransferItem::Assign(const TTransferItem* source)
{
    if (!source || source == this)
        return;
    Active = source->Active;
    Authenticate = source->Authenticate;
    CopyNewerOnly = source->CopyNewerOnly;
    DisplayURL = source->DisplayURL;
    FileDate = source->FileDate;
    FTPHost = source->FTPHost;
    FTPUserID = source->FTPUserID;
    FTPPassword = source->FTPPassword;
    FTPPort = source->FTPPort;
    HTTPCommand = source->HTTPCommand;
    Protocol = source->Protocol;
    TargetDir = source->TargetDir;
    TargetFilename = source->TargetFilename;
    URL = source->URL;
    HTTPUserID = source->HTTPUserID;
    HTTPPassword = source->HTTPPassword;
}

TTransferItem* TTransferItems::Add()
{
    m_items.push_back(std::make_unique<TTransferItem>());
    return m_items.back().get();
}

int TTransferItems::ActiveCount() const
{
    int n = 0;
    for (const auto& item : m_items)
        n += item->Active ? 1 : 0;
    return n;
}
