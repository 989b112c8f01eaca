#include "TTransfer.h"

// The FTP kinds of job. Until the FTP client lands they report no result.

struct TTransferFtpState {
};

void TTransfer::FtpStateDeleter::operator()(TTransferFtpState* state) const { delete state; }

void TTransfer::FtpRunStart() {}
void TTransfer::FtpRunEnd() {}

bool TTransfer::FtpDownload(int, TTransferItem&, bool, double&, bool&) { return false; }
bool TTransfer::FtpUpload(int, TTransferItem&, bool, double&, bool&) { return false; }
bool TTransfer::MultiFtpDownload(int, TTransferItem&, double&, bool&) { return false; }
bool TTransfer::MultiFtpUpload(int, TTransferItem&, bool, double&, bool&) { return false; }
bool TTransfer::FtpDelete(int, TTransferItem&, bool) { return false; }
bool TTransfer::FtpList(int, TTransferItem&) { return false; }
bool TTransfer::FtpTest(int, TTransferItem&) { return false; }
