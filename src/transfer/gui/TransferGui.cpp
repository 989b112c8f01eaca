#include "TransferGui.h"

#include "LoginPrompt.h"
#include "TTransferDialog.h"

void registerTransferGui()
{
    TTransferProgressView::setFactory([](TTransfer& owner) { return new TTransferDialog(owner); });
    setLoginAsker(&askLogin);
}
