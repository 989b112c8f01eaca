#pragma once

#include <QString>

// The maker's web site that converters, the version file, the help pages and the
// component packages come from. Its root is $LINGUARO_SITE_URL when set, else the
// folder "site" beside the program as a file:// address, so a machine without a
// network has everything the program fetches.
namespace Site {

// The root address, ending in "/".
QString root();
// The address of a file at the root.
QString address(const QString& name);

}  // namespace Site
