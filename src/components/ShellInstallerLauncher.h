#pragma once

#include "InstallerLauncher.h"

// Installers go through the shell like any program the user opens: verb "open", shown
// normally, no working folder, waited for.
class ShellInstallerLauncher final : public InstallerLauncher {
public:
    Shell::Outcome start(const QString& file, const QString& parameters) override
    {
        Shell::Outcome ended;
        Shell::shellRunWait(QStringLiteral("open"), file, parameters, true, Shell::Show::Normal, QString(), &ended);
        return ended;
    }
};
