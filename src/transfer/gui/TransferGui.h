#pragma once

// Registers the desktop progress dialog and login prompt with the transfer
// component; the application calls it once after creating QApplication.
void registerTransferGui();
