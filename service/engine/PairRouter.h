#pragma once

#include "ModeFile.h"

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// One installed translation direction: application codes and the engine
// pipeline that does it. One mode file may serve several directions
// ("hbs-eng" reads both Croatian and Serbian).
struct InstalledPair {
    std::string from;
    std::string to;
    std::string modeName;  // "eng-spa"
    std::vector<ModeCommand> commands;
    // the generator marks the words it did not translate; such chains are kept apart
    bool marksUntranslated = false;
};

// The installed directions as a graph over application codes. A request
// between two languages with no direct pair takes the route with the fewest
// steps (at most three); among equal routes the better-resourced pivots win:
// Spanish, then English, then Catalan, then the others alphabetically.
class PairRouter {
public:
    static constexpr size_t kMostSteps = 3;

    explicit PairRouter(std::vector<InstalledPair> pairs);
    // the routes point into m_pairs, so a copy would point into the original
    PairRouter(const PairRouter&) = delete;
    PairRouter& operator=(const PairRouter&) = delete;

    // The usable directions of a modes folder between languages of the
    // window's list. A file that cannot be read, names a program or a data
    // file that is missing, or offers a direction another file already
    // offers as well is left out; each gets a line in problems.
    static std::vector<InstalledPair> scanModes(const std::filesystem::path& modesDir,
                                                std::vector<std::string>* problems = nullptr);

    // Why a readable pipeline cannot run here (a program or data file
    // missing); empty when it can.
    static std::string missingPart(const std::vector<ModeCommand>& commands);

    // The chain of pairs from one language to another; nullopt when there is none.
    std::optional<std::vector<const InstalledPair*>> route(const std::string& from, const std::string& to) const;

    // Every (from, to) with from != to that some route connects, sorted.
    std::vector<std::pair<std::string, std::string>> reachablePairs() const;

    // Every language that appears in an installed pair, sorted.
    std::vector<std::string> languages() const;

    const std::vector<InstalledPair>& pairs() const { return m_pairs; }

private:
    std::vector<InstalledPair> m_pairs;
    std::map<std::pair<std::string, std::string>, std::vector<const InstalledPair*>> m_routes;
};
