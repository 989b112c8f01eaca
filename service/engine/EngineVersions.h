#pragma once

#include "PairRouter.h"

#include <filesystem>
#include <map>
#include <string>
#include <vector>

// The versions of the engine data the installed pairs translate with: the
// Debian package that owns a pair's mode file (or, for a mode file copied
// elsewhere, its first data file) and that package's version, as dpkg-query
// tells them.
namespace EngineVersions {

// Mode name ("eng-spa") -> "apertium-eng-spa 0.8.1-2"; pairs no package owns are left out.
std::map<std::string, std::string> ofPairs(const std::vector<InstalledPair>& pairs,
                                           const std::filesystem::path& modesDir);

// The owners in dpkg-query -S output ("pkg: /path", "pkg1, pkg2: /path"), by path; the first package named.
std::map<std::string, std::string> parseOwners(const std::string& output);

// "pkg\tversion" lines, by package; packages without a version are left out.
std::map<std::string, std::string> parseVersions(const std::string& output);

}  // namespace EngineVersions
