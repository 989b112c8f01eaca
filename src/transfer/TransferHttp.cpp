#include "TTransfer.h"

bool TTransfer::HttpDownload(int, TTransferItem&, double&, bool&) { return false; }
bool TTransfer::HttpUpload(int, TTransferItem&) { return false; }
