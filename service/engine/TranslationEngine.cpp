#include "TranslationEngine.h"

#include "DocumentTranslation.h"
#include "EngineVersions.h"
#include "LanguageCodes.h"
#include "PlainTextFormat.h"
#include "SentenceSplit.h"
#include "SerbianScript.h"
#include "StopFlag.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <future>
#include <iostream>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// the engine's transliterator that reads Serbian Cyrillic as Latin
const std::string kCyrillicReader = "Cyrl-Latn";

// The plain-text format is done in-process; the engine's own deformatter and
// reformatter (which do not flush on NUL, so they run once per request) take
// only what that does not cover.
bool format(bool (*inProcess)(std::string_view, std::string&), const char* program, const std::string& input,
            ProcessChain::Clock::time_point deadline, std::string& output, std::string& error, const StopFlag* stop)
{
    if (inProcess(input, output))
        return true;
    ProcessChain chain;
    if (!chain.start({{program}}, error))
        return false;
    return chain.exchange(input, deadline, output, error, stop);
}

// No one waits for the answer: whatever is said here is never sent.
TranslationEngine::Outcome stoppedOutcome() { return {503, "The translation was stopped."}; }

std::string jsonString(const std::string& s)
{
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\') {
            out.push_back('\\');
            out.push_back(c);
        } else if (static_cast<unsigned char>(c) < 0x20) {
            static const char* hex = "0123456789abcdef";
            out += "\\u00";
            out.push_back(hex[(c >> 4) & 0xF]);
            out.push_back(hex[c & 0xF]);
        } else {
            out.push_back(c);
        }
    }
    return out + "\"";
}

// Every line break as a plain LF and no NUL: the deformatter's input. A NUL
// separates what stands on either side of it, like a space.
std::string normaliseText(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out.push_back('\n');
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out.push_back(text[i] == '\0' ? ' ' : text[i]);
        }
    }
    return out;
}

}  // namespace

// A chain held for one caller, given back at the end of its scope.
class TranslationEngine::Lease {
public:
    Lease(TranslationEngine& engine, const InstalledPair& pair, size_t first, size_t bytes)
        : m_engine(engine), m_pair(pair), m_chain(engine.acquire(pair, first, bytes))
    {}
    ~Lease() { m_engine.release(m_pair, m_chain); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    EnginePipeline& get() const { return *m_chain; }

private:
    TranslationEngine& m_engine;
    const InstalledPair& m_pair;
    EnginePipeline* m_chain;
};

TranslationEngine::TranslationEngine(Options options)
    : m_options(std::move(options)), m_installed(PairRouter::scanModes(m_options.modesDir, &m_problems)),
      m_router(std::make_shared<const PairRouter>(m_installed.pairs())),
      m_wakeFd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    const auto usable = [](const ModeFile::Parsed& parsed) {
        return parsed.ok() && PairRouter::missingPart(parsed.commands).empty();
    };
    const ModeFile::Parsed reader =
        ModeFile::load(m_options.modesDir / (kCyrillicReader + ".mode"), ModeFile::unmarkedPlaceholders());
    if (usable(reader))
        m_cyrillicReader = InstalledPair{"sr", "sr", kCyrillicReader, reader.commands};
    for (const InstalledPair& pair : m_installed.pairs()) {
        if (pair.to != "sr")
            continue;
        // "$1" is the generator's option: "-g" marks what it could not translate
        const ModeFile::Parsed marking = ModeFile::load(m_options.modesDir / (pair.modeName + ".mode"), {"-g", ""});
        if (usable(marking))
            m_markingLegs.emplace(pair.modeName,
                                  InstalledPair{pair.from, pair.to, pair.modeName, marking.commands, true});
    }
    m_versions = std::async(std::launch::async, [pairs = m_installed.pairs(), modesDir = m_options.modesDir] {
                     return EngineVersions::ofPairs(pairs, modesDir);
                 }).share();
    m_watcher = std::thread([this] { watchChains(); });
}

TranslationEngine::~TranslationEngine()
{
    {
        std::lock_guard lock(m_poolsMutex);
        m_stopping = true;
    }
    wakeWatcher();
    m_watcher.join();
    ::close(m_wakeFd);
}

void TranslationEngine::wakeWatcher()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(m_wakeFd, &one, sizeof one);
}

void TranslationEngine::watchChains()
{
    using Clock = ProcessChain::Clock;
    for (;;) {
        std::vector<pollfd> fds{{m_wakeFd, POLLIN, 0}};
        std::vector<EnginePipeline*> owners{nullptr};
        auto nextIdleStop = Clock::time_point::max();
        {
            std::lock_guard lock(m_poolsMutex);
            if (m_stopping)
                return;
            const auto now = Clock::now();
            for (auto& [name, pool] : m_pools) {
                for (size_t i = 0; i < pool.chains.size(); ++i) {
                    // a chain in use is watched by its request, which wakes us when done
                    bool busy = pool.users[i] > 0;
                    EnginePipeline& chain = *pool.chains[i];
                    if (!busy && chain.running() && chain.stopIfUnusedSince(now - m_options.idleTimeout))
                        continue;
                    const std::vector<int> exits = busy ? std::vector<int>{} : chain.exitDescriptors(busy);
                    if (!busy && !exits.empty())
                        nextIdleStop = std::min(nextIdleStop, chain.lastUsed() + m_options.idleTimeout);
                    for (const int fd : exits) {
                        fds.push_back({fd, POLLIN, 0});
                        owners.push_back(&chain);
                    }
                }
            }
        }
        int timeout = -1;
        if (nextIdleStop != Clock::time_point::max()) {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(nextIdleStop - Clock::now()).count();
            timeout = static_cast<int>(std::clamp<long long>(left + 1, 0, 3'600'000));
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0)
            continue;
        uint64_t drained = 0;
        [[maybe_unused]] const ssize_t n = ::read(m_wakeFd, &drained, sizeof drained);
        std::lock_guard lock(m_poolsMutex);
        for (size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents)
                owners[i]->reapIfExited();
        }
    }
}

EnginePipeline* TranslationEngine::acquire(const InstalledPair& pair, size_t first, size_t bytes)
{
    std::lock_guard lock(m_poolsMutex);
    ChainPool& pool = m_pools[poolKey(pair)];
    const size_t most = static_cast<size_t>(std::max(1, m_options.parallel)) + 1;
    const auto add = [&pool, &pair] {
        pool.chains.push_back(std::make_unique<EnginePipeline>(pair.commands));
        pool.users.push_back(0);
    };
    while (pool.chains.size() <= first && pool.chains.size() < most)
        add();
    std::optional<size_t> chosen;
    size_t leastHeld = 0;
    size_t least = 0;
    for (size_t k = 0; k < pool.chains.size() && !chosen; ++k) {
        const size_t i = (first + k) % pool.chains.size();
        const size_t held = pool.chains[i]->outstandingBytes();
        if (held == 0 || held + bytes <= m_options.shareBelowBytes)
            chosen = i;
        else if (k == 0 || held < leastHeld)
            least = i, leastHeld = held;
    }
    if (!chosen && pool.chains.size() < most) {
        add();
        chosen = pool.chains.size() - 1;
    }
    const size_t i = chosen.value_or(least);
    ++pool.users[i];
    return pool.chains[i].get();
}

void TranslationEngine::release(const InstalledPair& pair, EnginePipeline* chain)
{
    {
        std::lock_guard lock(m_poolsMutex);
        ChainPool& pool = m_pools[poolKey(pair)];
        for (size_t i = 0; i < pool.chains.size(); ++i) {
            if (pool.chains[i].get() == chain)
                --pool.users[i];
        }
    }
    wakeWatcher();
}

std::string TranslationEngine::poolKey(const InstalledPair& pair)
{
    return pair.marksUntranslated ? pair.modeName + " marking" : pair.modeName;
}

std::vector<const EnginePipeline*> TranslationEngine::chainsOf(const std::string& modeName) const
{
    std::lock_guard lock(m_poolsMutex);
    std::vector<const EnginePipeline*> chains;
    if (const auto it = m_pools.find(modeName); it != m_pools.end()) {
        for (const auto& chain : it->second.chains)
            chains.push_back(chain.get());
    }
    return chains;
}

int TranslationEngine::runningChains(const std::string& modeName) const
{
    const auto chains = chainsOf(modeName);
    return static_cast<int>(std::count_if(chains.begin(), chains.end(), [](auto chain) { return chain->running(); }));
}

int TranslationEngine::busyChains(const std::string& modeName) const
{
    std::lock_guard lock(m_poolsMutex);
    const auto it = m_pools.find(modeName);
    return it == m_pools.end() ? 0
                               : static_cast<int>(std::count_if(it->second.users.begin(), it->second.users.end(),
                                                                [](int users) { return users > 0; }));
}

int TranslationEngine::chainStarts(const std::string& modeName) const
{
    int starts = 0;
    for (const EnginePipeline* chain : chainsOf(modeName))
        starts += chain->starts();
    return starts;
}

int TranslationEngine::chainRestarts(const std::string& modeName) const
{
    int restarts = 0;
    for (const EnginePipeline* chain : chainsOf(modeName))
        restarts += std::max(0, chain->starts() - 1);
    return restarts;
}

size_t TranslationEngine::reachablePairCount() const { return currentRouter()->reachablePairs().size(); }

std::filesystem::path TranslationEngine::defaultModesDir()
{
    const char* dataDir = std::getenv("APERTIUM_DATADIR");
    return std::filesystem::path(dataDir && *dataDir ? dataDir : "/usr/share/apertium") / "modes";
}

std::shared_ptr<const PairRouter> TranslationEngine::currentRouter() const
{
    std::lock_guard lock(m_routesMutex);
    return m_router;
}

std::string TranslationEngine::pairsJson() const
{
    const std::map<std::string, std::string>& versions = m_versions.get();
    std::lock_guard lock(m_routesMutex);
    if (m_pairsJson.empty())
        m_pairsJson = pairsJson(*m_router, versions);
    return m_pairsJson;
}

std::set<std::string> TranslationEngine::pairsOutOfUse() const
{
    std::lock_guard lock(m_routesMutex);
    return m_outOfUse;
}

bool TranslationEngine::noteCrash(const std::string& modeName, const std::string& text, const std::string& error)
{
    std::lock_guard lock(m_routesMutex);
    if (m_outOfUse.count(modeName))
        return true;
    // one odd text must not cost everyone the pair: a second, different one must crash it too
    std::set<size_t>& texts = m_crashedTexts[modeName];
    texts.insert(std::hash<std::string>{}(text));
    if (texts.size() < 2)
        return false;
    m_outOfUse.insert(modeName);
    std::vector<InstalledPair> usable;
    for (const InstalledPair& pair : m_installed.pairs()) {
        if (!m_outOfUse.count(pair.modeName))
            usable.push_back(pair);
    }
    m_router = std::make_shared<const PairRouter>(std::move(usable));
    m_pairsJson.clear();
    std::cerr << "linguaro-service: " << modeName << " is out of use: its engine crashed on two different texts ("
              << error << ")\n";
    return true;
}

std::string TranslationEngine::unreachableMessage(const PairRouter& router, const std::string& from,
                                                  const std::string& to) const
{
    // what each of the two languages does reach, so the user can pick another pair
    std::vector<std::string> targets, sources;
    for (const auto& [a, b] : router.reachablePairs()) {
        if (a == from)
            targets.push_back(LanguageCodes::describe(b));
        if (b == to)
            sources.push_back(LanguageCodes::describe(a));
    }
    const auto list = [](const std::vector<std::string>& names) {
        std::string text;
        for (size_t i = 0; i < names.size(); ++i)
            text += (i ? ", " : "") + names[i];
        return names.empty() ? std::string("none") : text;
    };
    const std::string fromName = LanguageCodes::describe(from);
    const std::string toName = LanguageCodes::describe(to);
    const std::string reach = fromName + " can be translated into: " + list(targets) + ". " + toName
                              + " can be translated from: " + list(sources) + ".";
    const auto installed = m_installed.route(from, to);
    if (!installed)
        return "No translation from " + fromName + " to " + toName + " is installed. " + reach;
    const std::set<std::string> outOfUse = pairsOutOfUse();
    std::string named;
    for (const InstalledPair* leg : *installed) {
        if (outOfUse.count(leg->modeName))
            named += (named.empty() ? "" : ", ") + leg->modeName;
    }
    return "No translation from " + fromName + " to " + toName + " is available: the engine of " + named
           + " is out of use, as it crashed on two different texts. " + reach;
}

std::optional<TranslationEngine::Outcome> TranslationEngine::addScriptLegs(std::vector<const InstalledPair*>& route,
                                                                           const std::string& text,
                                                                           const std::string& from,
                                                                           bool cyrillicOut) const
{
    // only Serbian is read from Cyrillic: the other languages keep their letters as they are
    if (from == "sr" && SerbianScript::hasCyrillic(text)) {
        const std::string cannot = "Serbian in Cyrillic cannot be read: the engine's transliterator " + kCyrillicReader;
        if (!m_cyrillicReader)
            return Outcome{400, cannot + ".mode is not installed."};
        if (pairsOutOfUse().count(kCyrillicReader))
            return Outcome{500, cannot + " is out of use, as it crashed on two different texts."};
        route.insert(route.begin(), &*m_cyrillicReader);
    }
    if (cyrillicOut) {
        if (const auto it = m_markingLegs.find(route.back()->modeName); it != m_markingLegs.end())
            route.back() = &it->second;
    }
    return std::nullopt;
}

TranslationEngine::Outcome TranslationEngine::translate(const std::string& text, const std::string& from,
                                                        const std::string& to, bool serbianCyrillic,
                                                        const StopFlag* stop)
{
    if (from == to && LanguageCodes::isWellFormed(from))
        return {200, text};
    return onRoute(text, from, to, serbianCyrillic,
                   [&](const std::vector<const InstalledPair*>& legs, bool cyrillicOut) {
                       return translateOn(text, legs, cyrillicOut, stop);
                   });
}

TranslationEngine::Outcome TranslationEngine::translateStream(const std::string& stream, const std::string& from,
                                                              const std::string& to,
                                                              ProcessChain::Clock::time_point deadline,
                                                              const Progress& progress, bool serbianCyrillic,
                                                              const StopFlag* stop)
{
    if (from == to && LanguageCodes::isWellFormed(from))
        return {200, stream};
    // another route after a crash starts its count again; what was reported stays
    size_t reported = 0;
    const Progress rising = [&](size_t done, size_t total) {
        reported = std::max(reported, done);
        progress(reported, std::max(reported, total));
    };
    return onRoute(
        stream, from, to, serbianCyrillic, [&](const std::vector<const InstalledPair*>& legs, bool cyrillicOut) {
            return translateStreamOn(stream, legs, cyrillicOut, deadline, progress ? rising : Progress(), stop);
        });
}

TranslationEngine::Outcome
TranslationEngine::onRoute(const std::string& text, const std::string& from, const std::string& to,
                           bool serbianCyrillic,
                           const std::function<Outcome(const std::vector<const InstalledPair*>&, bool)>& run)
{
    if (!LanguageCodes::isWellFormed(from) || !LanguageCodes::isWellFormed(to))
        return {400, "Language codes are two to twelve characters of a-z, 0-9 and \"-\"."};
    for (;;) {
        // a snapshot: the pairs on its route stay alive while the request uses them
        const std::shared_ptr<const PairRouter> router = currentRouter();
        const auto route = router->route(from, to);
        if (!route)
            return {400, unreachableMessage(*router, from, to)};
        const bool cyrillicOut = serbianCyrillic && to == "sr";
        std::vector<const InstalledPair*> legs = *route;
        if (auto refused = addScriptLegs(legs, text, from, cyrillicOut))
            return *refused;
        Outcome outcome = run(legs, cyrillicOut);
        if (outcome.crashedPair.empty() || !noteCrash(outcome.crashedPair, text, outcome.text))
            return outcome;
        // that pair is out of use now; a route through other pivots may still serve
        if (!currentRouter()->route(from, to))
            return outcome;
    }
}

TranslationEngine::Outcome TranslationEngine::translateOn(const std::string& text,
                                                          const std::vector<const InstalledPair*>& route,
                                                          bool cyrillicOut, const StopFlag* stop)
{
    const auto deadline = ProcessChain::Clock::now() + m_options.timeout;
    std::string stream;
    std::string error;
    if (!format(PlainTextFormat::deformat, "apertium-destxt", normaliseText(text), deadline, stream, error, stop))
        return StopFlag::raised(stop) ? stoppedOutcome()
                                      : Outcome{500, "The text could not be prepared for translation: " + error + "."};
    Outcome result = translateStreamOn(stream, route, cyrillicOut, deadline, {}, stop);
    if (result.status != 200)
        return result;
    std::string translation;
    if (!format(PlainTextFormat::reformat, "apertium-retxt", result.text, deadline, translation, error, stop))
        return StopFlag::raised(stop) ? stoppedOutcome()
                                      : Outcome{500, "The translation could not be put back into text: " + error + "."};
    return {200, translation};
}

TranslationEngine::Outcome TranslationEngine::translateStreamOn(std::string stream,
                                                                const std::vector<const InstalledPair*>& route,
                                                                bool cyrillicOut,
                                                                ProcessChain::Clock::time_point deadline,
                                                                const Progress& progress, const StopFlag* stop)
{
    if (cyrillicOut)
        stream = SerbianScript::setMarkCharactersAside(stream);

    // the pieces are cut in the formatted stream, so formatting runs once a request
    const int chains = std::max(1, m_options.parallel);
    const size_t byLength = stream.size() / std::max<size_t>(1, m_options.progressPieceBytes) + 1;
    const size_t wanted = std::max(static_cast<size_t>(chains) * std::max(1, m_options.piecesPerChain), byLength);
    const std::vector<std::string> pieces =
        SentenceSplit::split(stream, static_cast<int>(std::min<size_t>(wanted, INT_MAX)), m_options.minPieceBytes,
                             SentenceSplit::Form::EngineStream);
    const size_t total = pieces.size() * route.size();
    std::mutex progressMutex;
    size_t done = 0;
    const std::function<void()> pieceDone = [&] {
        if (!progress)
            return;
        std::lock_guard lock(progressMutex);
        progress(++done, total);
    };
    if (progress)
        progress(0, total);
    // consecutive pieces share a chain; group g takes its even share
    const size_t groups = std::min(pieces.size(), static_cast<size_t>(chains));
    std::vector<std::vector<std::string>> shares(groups);
    for (size_t g = 0; g < groups; ++g) {
        shares[g].assign(pieces.begin() + static_cast<long>(g * pieces.size() / groups),
                         pieces.begin() + static_cast<long>((g + 1) * pieces.size() / groups));
    }
    std::vector<std::future<Outcome>> others;
    for (size_t g = 1; g < groups; ++g) {
        others.push_back(std::async(std::launch::async, [this, &shares, &route, g, deadline, &pieceDone, stop] {
            return translatePieces(shares[g], route, static_cast<int>(g), deadline, pieceDone, stop);
        }));
    }
    Outcome result = translatePieces(shares.front(), route, 0, deadline, pieceDone, stop);
    for (auto& other : others) {
        Outcome share = other.get();
        if (result.status == 200 && share.status != 200)
            result = std::move(share);
        else if (result.status == 200)
            result.text += share.text;
    }
    if (result.status == 200 && cyrillicOut)
        result.text = SerbianScript::toCyrillic(result.text);
    return result;
}

TranslationEngine::Outcome TranslationEngine::translatePieces(std::vector<std::string> pieces,
                                                              const std::vector<const InstalledPair*>& route, int index,
                                                              ProcessChain::Clock::time_point deadline,
                                                              const std::function<void()>& pieceDone,
                                                              const StopFlag* stop)
{
    // each leg hands its stream output straight to the next: no reformatting between
    for (const InstalledPair* leg : route) {
        for (std::string& piece : pieces) {
            // the engine answers a block only once its last word is closed by a blank
            if (!piece.empty() && piece.back() != ']' && piece.back() != ' ' && piece.back() != '\n')
                piece += "[]";
        }
        std::vector<std::string> answers;
        std::string error;
        size_t bytes = 0;
        for (const std::string& piece : pieces)
            bytes += piece.size();
        const Lease chain(*this, *leg, static_cast<size_t>(index), bytes);
        bool crashed = false;
        // a second try in the chain counts from 0 again: only answers beyond those counted count
        size_t counted = 0;
        const auto answered = [&](size_t got) {
            for (; counted < got; ++counted)
                pieceDone();
        };
        if (!chain.get().process(pieces, deadline, answers, error, &crashed, answered, stop)) {
            if (StopFlag::raised(stop))
                return stoppedOutcome();
            const int status = ProcessChain::Clock::now() >= deadline ? 504 : 500;
            return {status, "Translation with " + leg->modeName + " failed: " + error + ".",
                    crashed ? leg->modeName : std::string()};
        }
        pieces = std::move(answers);
    }
    std::string joined;
    for (const std::string& piece : pieces)
        joined += piece;
    return {200, joined};
}

const std::vector<std::string>& TranslationEngine::documentFormats() { return DocumentTranslation::formats(); }

std::string TranslationEngine::pairsJson(const PairRouter& router, const std::map<std::string, std::string>& versions)
{
    std::string json = "{\"pairs\":[";
    bool first = true;
    for (const auto& [from, to] : router.reachablePairs()) {
        json += first ? "" : ",";
        first = false;
        json += "{\"from\":" + jsonString(from) + ",\"to\":" + jsonString(to)
                + ",\"fromName\":" + jsonString(LanguageCodes::displayName(from))
                + ",\"toName\":" + jsonString(LanguageCodes::displayName(to)) + ",\"via\":[";
        const auto route = router.route(from, to);
        for (size_t i = 1; i < route->size(); ++i)
            json += (i > 1 ? "," : "") + jsonString((*route)[i]->from);
        json += "],\"route\":[";
        for (size_t i = 0; i < route->size(); ++i)
            json += (i ? "," : "") + jsonString((*route)[i]->modeName);
        json += "]";
        std::string version;
        for (size_t i = 0; i < route->size(); ++i) {
            const auto known = versions.find((*route)[i]->modeName);
            if (known == versions.end()) {
                version.clear();
                break;
            }
            version += (i ? " + " : "") + known->second;
        }
        if (!version.empty())
            json += ",\"version\":" + jsonString(version);
        json += ",\"formats\":[\"txt\"";
        for (const std::string& format : documentFormats())
            json += "," + jsonString(format);
        json += "]}";
    }
    return json + "]}";
}
