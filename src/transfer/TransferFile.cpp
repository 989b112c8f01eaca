#include "TTransfer.h"

bool TTransfer::FileCopy(int, TTransferItem&, double&, bool&) { return false; }
