#include "TransferGui.h"

#include "LoginPrompt.h"
#include "TTransferDialog.h"

void RegisterTransferGui()
{
    TTransferProgressView::SetFactory([](TTransfer& owner) { return new TTransferDialog(owner); });
    SetLoginAsker(&AskLogin);
}
