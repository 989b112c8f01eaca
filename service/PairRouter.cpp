#include "PairRouter.h"

#include "LanguageCodes.h"

#include <algorithm>
#include <deque>
#include <set>

PairRouter::PairRouter(std::vector<InstalledPair> pairs)
    : m_pairs(std::move(pairs))
{
    for (const InstalledPair& pair : m_pairs) {
        auto& edges = m_outgoing[pair.from];
        // the first pair found for a direction wins; later duplicates are ignored
        const bool known = std::any_of(edges.begin(), edges.end(),
                                       [&](const InstalledPair* p) { return p->to == pair.to; });
        if (!known && pair.from != pair.to)
            edges.push_back(&pair);
    }
    for (auto& [from, edges] : m_outgoing) {
        std::sort(edges.begin(), edges.end(),
                  [](const InstalledPair* a, const InstalledPair* b) { return a->to < b->to; });
    }
}

std::vector<InstalledPair> PairRouter::ScanModes(const std::filesystem::path& modesDir)
{
    std::vector<std::filesystem::path> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(modesDir, ec)) {
        if (entry.path().extension() == ".mode")
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());

    std::vector<InstalledPair> pairs;
    for (const auto& file : files) {
        const std::string name = file.stem().string();
        const size_t dash = name.find('-');
        if (name.find('_') != std::string::npos || dash == std::string::npos
            || name.find('-', dash + 1) != std::string::npos || dash == 0 || dash + 1 == name.size())
            continue;
        ModeFile::Parsed parsed = ModeFile::Load(file, ModeFile::UnmarkedPlaceholders());
        if (!parsed.ok())
            continue;
        InstalledPair pair;
        pair.from = LanguageCodes::WireCode(name.substr(0, dash));
        pair.to = LanguageCodes::WireCode(name.substr(dash + 1));
        pair.modeName = name;
        pair.commands = std::move(parsed.commands);
        pairs.push_back(std::move(pair));
    }
    return pairs;
}

std::optional<std::vector<const InstalledPair*>> PairRouter::Route(const std::string& from,
                                                                   const std::string& to) const
{
    if (from == to)
        return std::nullopt;
    // breadth-first over languages; reachedBy holds the pair that first got there
    std::map<std::string, const InstalledPair*> reachedBy;
    std::deque<std::string> queue{from};
    reachedBy[from] = nullptr;
    while (!queue.empty()) {
        const std::string here = queue.front();
        queue.pop_front();
        if (here == to)
            break;
        const auto it = m_outgoing.find(here);
        if (it == m_outgoing.end())
            continue;
        for (const InstalledPair* edge : it->second) {
            if (reachedBy.emplace(edge->to, edge).second)
                queue.push_back(edge->to);
        }
    }
    if (!reachedBy.count(to))
        return std::nullopt;
    std::vector<const InstalledPair*> route;
    for (const InstalledPair* edge = reachedBy[to]; edge; edge = reachedBy[edge->from])
        route.push_back(edge);
    std::reverse(route.begin(), route.end());
    return route;
}

std::vector<std::pair<std::string, std::string>> PairRouter::ReachablePairs() const
{
    std::vector<std::pair<std::string, std::string>> result;
    const std::vector<std::string> languages = Languages();
    for (const std::string& from : languages) {
        for (const std::string& to : languages) {
            if (from != to && Route(from, to))
                result.emplace_back(from, to);
        }
    }
    return result;
}

std::vector<std::string> PairRouter::Languages() const
{
    std::set<std::string> languages;
    for (const InstalledPair& pair : m_pairs) {
        languages.insert(pair.from);
        languages.insert(pair.to);
    }
    return {languages.begin(), languages.end()};
}
