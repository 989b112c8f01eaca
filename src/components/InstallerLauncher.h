#pragma once

#include "Shell.h"

#include <QString>

// Starts an installer and waits for its end, the window staying live meanwhile.
class InstallerLauncher {
public:
    virtual ~InstallerLauncher() = default;
    // The outcome keeps what the installer wrote, for telling why it failed.
    virtual Shell::Outcome start(const QString& file, const QString& parameters) = 0;
};
