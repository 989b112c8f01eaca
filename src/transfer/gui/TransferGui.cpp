#include "TransferGui.h"

void RegisterTransferGui() {}
