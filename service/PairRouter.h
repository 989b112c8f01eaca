#pragma once

#include "ModeFile.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// One installed translation direction: application codes and the engine
// pipeline that does it.
struct InstalledPair {
    std::string from;
    std::string to;
    std::string modeName;  // "eng-spa"
    std::vector<ModeCommand> commands;
};

// The installed directions as a graph over application codes; a request
// between two languages with no direct pair goes through the fewest pivots.
class PairRouter {
public:
    explicit PairRouter(std::vector<InstalledPair> pairs);
    // the edges point into m_pairs, so a copy would point into the original
    PairRouter(const PairRouter&) = delete;
    PairRouter& operator=(const PairRouter&) = delete;

    // Every plain "xx-yy.mode" in the folder whose pipeline can be read.
    // Variants ("eng-cat_valencia") and three-part names are left out.
    static std::vector<InstalledPair> ScanModes(const std::filesystem::path& modesDir);

    // The chain of pairs from one language to another; nullopt when there
    // is none. Ties between routes of equal length go to the alphabetically
    // first pivot so the same request always takes the same road.
    std::optional<std::vector<const InstalledPair*>> Route(const std::string& from,
                                                           const std::string& to) const;

    // Every (from, to) with from != to that some route connects, sorted.
    std::vector<std::pair<std::string, std::string>> ReachablePairs() const;

    // Every language that appears in an installed pair, sorted.
    std::vector<std::string> Languages() const;

    const std::vector<InstalledPair>& pairs() const { return m_pairs; }

private:
    std::vector<InstalledPair> m_pairs;
    std::map<std::string, std::vector<const InstalledPair*>> m_outgoing;  // sorted by target
};
