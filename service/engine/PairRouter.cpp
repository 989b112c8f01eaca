#include "PairRouter.h"

#include "LanguageCodes.h"
#include "ProcessChain.h"

#include <algorithm>
#include <set>
#include <tuple>

namespace {

// Pivots in order of preference: the best-resourced languages first.
std::pair<int, std::string> pivotOrder(const std::string& code)
{
    static const std::vector<std::string> preferred{"es", "en", "ca"};
    const auto it = std::find(preferred.begin(), preferred.end(), code);
    return {static_cast<int>(it - preferred.begin()), code};
}

}  // namespace

std::string PairRouter::missingPart(const std::vector<ModeCommand>& commands)
{
    for (const ModeCommand& command : commands) {
        if (ProcessChain::findProgram(command.program).empty())
            return "program not found: " + command.program;
        for (const std::string& arg : command.args) {
            std::error_code ec;
            if (arg.starts_with('/') && !std::filesystem::is_regular_file(arg, ec))
                return "data file missing: " + arg;
        }
    }
    return {};
}

PairRouter::PairRouter(std::vector<InstalledPair> pairs) : m_pairs(std::move(pairs))
{
    // one pair per direction: the first of each wins
    std::map<std::pair<std::string, std::string>, const InstalledPair*> direct;
    for (const InstalledPair& pair : m_pairs) {
        if (pair.from != pair.to)
            direct.emplace(std::pair(pair.from, pair.to), &pair);
    }
    std::map<std::string, std::vector<const InstalledPair*>> outgoing;  // sorted by pivot preference
    for (const auto& [key, pair] : direct)
        outgoing[key.first].push_back(pair);
    for (auto& [from, edges] : outgoing) {
        std::sort(edges.begin(), edges.end(),
                  [](const InstalledPair* a, const InstalledPair* b) { return pivotOrder(a->to) < pivotOrder(b->to); });
    }
    // breadth-first by steps; the edges' order makes the first route found
    // at each length the one through the preferred pivots
    for (const auto& [from, edges] : outgoing) {
        std::vector<std::vector<const InstalledPair*>> frontier;
        for (const InstalledPair* edge : edges)
            frontier.push_back({edge});
        for (size_t steps = 1; steps <= kMostSteps && !frontier.empty(); ++steps) {
            std::vector<std::vector<const InstalledPair*>> next;
            for (const auto& route : frontier) {
                const std::string& to = route.back()->to;
                if (to == from || !m_routes.emplace(std::pair(from, to), route).second)
                    continue;
                const auto it = outgoing.find(to);
                if (steps == kMostSteps || it == outgoing.end())
                    continue;
                for (const InstalledPair* edge : it->second) {
                    auto longer = route;
                    longer.push_back(edge);
                    next.push_back(std::move(longer));
                }
            }
            frontier = std::move(next);
        }
    }
}

std::vector<InstalledPair> PairRouter::scanModes(const std::filesystem::path& modesDir,
                                                 std::vector<std::string>* problems)
{
    const auto report = [&](const std::string& line) {
        if (problems)
            problems->push_back(line);
    };
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(modesDir, ec)) {
        if (entry.path().extension() == ".mode")
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());

    struct Candidate {
        int sourceRank, targetRank;
        InstalledPair pair;
    };
    std::map<std::pair<std::string, std::string>, std::vector<Candidate>> byDirection;
    for (const auto& file : files) {
        const std::string name = file.stem().string();
        const size_t dash = name.find('-');
        if (dash == std::string::npos || name.find('-', dash + 1) != std::string::npos)
            continue;
        const auto sources = LanguageCodes::wireCodes(name.substr(0, dash), LanguageCodes::Side::Source);
        const auto targets = LanguageCodes::wireCodes(name.substr(dash + 1), LanguageCodes::Side::Target);
        bool useful = false;
        for (const auto& s : sources) {
            for (const auto& t : targets)
                useful = useful || s.wireCode != t.wireCode;
        }
        if (!useful)
            continue;  // a variant, or a language the window does not list
        ModeFile::Parsed parsed = ModeFile::load(file, ModeFile::unmarkedPlaceholders());
        std::string problem = parsed.ok() ? missingPart(parsed.commands) : parsed.error;
        if (!problem.empty()) {
            report("left out " + file.filename().string() + ": " + problem);
            continue;
        }
        for (const auto& s : sources) {
            for (const auto& t : targets) {
                if (s.wireCode != t.wireCode)
                    byDirection[{s.wireCode, t.wireCode}].push_back(
                        {s.rank, t.rank, InstalledPair{s.wireCode, t.wireCode, name, parsed.commands}});
            }
        }
    }

    std::vector<InstalledPair> pairs;
    for (auto& [direction, candidates] : byDirection) {
        std::stable_sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
            return std::tie(a.sourceRank, a.targetRank) < std::tie(b.sourceRank, b.targetRank);
        });
        const Candidate& best = candidates.front();
        // a fallback of lower rank is simply not needed; one of equal rank is a second package
        for (size_t i = 1; i < candidates.size(); ++i) {
            if (std::tie(candidates[i].sourceRank, candidates[i].targetRank)
                == std::tie(best.sourceRank, best.targetRank))
                report("left out " + candidates[i].pair.modeName + ".mode for " + direction.first + "-"
                       + direction.second + ": " + best.pair.modeName + ".mode offers it too");
        }
        pairs.push_back(std::move(candidates.front().pair));
    }
    return pairs;
}

std::optional<std::vector<const InstalledPair*>> PairRouter::route(const std::string& from, const std::string& to) const
{
    const auto it = m_routes.find({from, to});
    if (it == m_routes.end())
        return std::nullopt;
    return it->second;
}

std::vector<std::pair<std::string, std::string>> PairRouter::reachablePairs() const
{
    std::vector<std::pair<std::string, std::string>> result;
    for (const auto& [key, route] : m_routes)
        result.push_back(key);
    return result;
}

std::vector<std::string> PairRouter::languages() const
{
    std::set<std::string> languages;
    for (const InstalledPair& pair : m_pairs) {
        languages.insert(pair.from);
        languages.insert(pair.to);
    }
    return {languages.begin(), languages.end()};
}
