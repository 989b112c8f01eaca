#pragma once

#include "EnginePipeline.h"
#include "PairRouter.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>

class StopFlag;

// Translates plain text between application language codes with the
// installed engine pairs, through pivot languages where needed. Requests on
// different pairs run in parallel. A long request is cut at empty lines and
// its pieces run through up to `parallel` chains of the pair at once,
// several pieces queued in each chain so that all of its programs work at
// the same time, as they would on one long text. Requests of the same pair
// share a chain, queued one behind the other, while what the chain holds is
// short; a request that finds every chain holding more starts one more (up
// to `parallel` + 1), so a long request never holds the short ones behind it. Chains start on first use; a
// watcher thread stops those left unused for the idle time, and reaps
// programs that exit between requests, stopping their chains. A pair whose
// engine crashes on two different texts, each time on the second try too,
// is taken out of use: out of the routes (another pivot may then serve)
// and of the pairs listed, with a line on standard error.
// Serbian in Cyrillic is read through the engine's own transliterator first;
// Serbian output is Latin unless Cyrillic is asked for.
class TranslationEngine {
public:
    struct Options {
        std::filesystem::path modesDir = defaultModesDir();
        std::chrono::milliseconds timeout = std::chrono::seconds(120);
        // one chain per pair: the pieces queued in it keep all its programs
        // busy; more chains let one long request use more cores
        int parallel = 1;
        int piecesPerChain = 4;
        // a chain holding at most this many unanswered bytes takes another request behind them
        size_t shareBelowBytes = 32 * 1024;
        // pieces shorter than this are not worth cutting off
        size_t minPieceBytes = 300;
        // a document's stream is cut into pieces about this long at most
        size_t progressPieceBytes = 32 * 1024;
        // a chain unused for this long is stopped; it starts again when next needed
        std::chrono::milliseconds idleTimeout = std::chrono::minutes(10);
    };

    struct Outcome {
        Outcome(int s = 200, std::string t = {}, std::string crashed = {})
            : status(s), text(std::move(t)), crashedPair(std::move(crashed))
        {}
        int status = 200;         // HTTP status for the reply
        std::string text;         // the translation when status is 200, else the message
        std::string crashedPair;  // the installed pair whose engine crashed on this text, if one did
    };

    explicit TranslationEngine(Options options);
    ~TranslationEngine();

    // text and the result are UTF-8; codes are lower-case application codes.
    // serbianCyrillic: Serbian output in Cyrillic, the words the engine left
    // untranslated as they were.
    // stop: once raised, the work ends at once with a failure and its chains
    // are free for others (see EnginePipeline::Process).
    Outcome translate(const std::string& text, const std::string& from, const std::string& to,
                      bool serbianCyrillic = false, const StopFlag* stop = nullptr);

    // Pieces answered of all there are (pieces x legs); called from the
    // engine's threads, one call at a time, done never going down.
    using Progress = std::function<void(size_t done, size_t total)>;

    // A block of the engine's stream format (a deformatter's output) through
    // the same route as text; the answer is stream for the matching reformatter.
    // A long stream is cut into pieces of about progressPieceBytes, so that
    // progress moves in small steps.
    // serbianCyrillic and stop: as for text.
    Outcome translateStream(const std::string& stream, const std::string& from, const std::string& to,
                            ProcessChain::Clock::time_point deadline, const Progress& progress = {},
                            bool serbianCyrillic = false, const StopFlag* stop = nullptr);

    // Formats besides plain text a document can be sent in, as /pairs names them.
    static const std::vector<std::string>& documentFormats();

    // {"pairs":[{"from":"en","to":"es","via":[],"version":"apertium-eng-spa 0.8.1-2"}, ...]} for
    // every reachable pair; a route's version names the data package of each of its steps, and is
    // left out when a step's package is not known.
    std::string pairsJson() const;
    // Mode files left out, one line each.
    const std::vector<std::string>& problems() const { return m_problems; }

    // Every usable installed direction, those out of use included.
    const PairRouter& router() const { return m_installed; }
    // Installed pairs ("rus-ukr") taken out of use.
    std::set<std::string> pairsOutOfUse() const;
    // How many engine chains of one installed pair ("eng-spa") are running.
    int runningChains(const std::string& modeName) const;
    // How many of them a request holds now.
    int busyChains(const std::string& modeName) const;
    // How often chains of that pair were started, all together.
    int chainStarts(const std::string& modeName) const;
    // How often chains of that pair were started again after they had stopped.
    int chainRestarts(const std::string& modeName) const;
    // Language pairs a request can be served on now, pivots included.
    size_t reachablePairCount() const;

    // $APERTIUM_DATADIR/modes, else /usr/share/apertium/modes.
    static std::filesystem::path defaultModesDir();

private:
    struct ChainPool {
        std::vector<std::unique_ptr<EnginePipeline>> chains;
        std::vector<int> users;  // requests holding each chain
    };
    class Lease;

    // A chain of the pair for `bytes` of stream: from `first` on, the first
    // one that holds little enough to take them behind what it has.
    EnginePipeline* acquire(const InstalledPair& pair, size_t first, size_t bytes);
    void release(const InstalledPair& pair, EnginePipeline* chain);
    void watchChains();
    std::vector<const EnginePipeline*> chainsOf(const std::string& modeName) const;
    void wakeWatcher();
    // Pieces of formatted stream through every leg on one chain of each; the
    // answers are stream too, one per piece.
    Outcome translateOn(const std::string& text, const std::vector<const InstalledPair*>& route, bool cyrillicOut,
                        const StopFlag* stop);
    Outcome translateStreamOn(std::string stream, const std::vector<const InstalledPair*>& route, bool cyrillicOut,
                              ProcessChain::Clock::time_point deadline, const Progress& progress, const StopFlag* stop);
    // Finds the route (trying another when a pair on it goes out of use) and runs it.
    Outcome onRoute(const std::string& text, const std::string& from, const std::string& to, bool serbianCyrillic,
                    const std::function<Outcome(const std::vector<const InstalledPair*>&, bool)>& run);
    // The route with the legs Serbian scripts need; an outcome instead when Cyrillic cannot be read.
    std::optional<Outcome> addScriptLegs(std::vector<const InstalledPair*>& route, const std::string& text,
                                         const std::string& from, bool cyrillicOut) const;
    static std::string poolKey(const InstalledPair& pair);
    // Counts a crash of a pair's engine on a text; true when the pair is out of use.
    bool noteCrash(const std::string& modeName, const std::string& text, const std::string& error);
    std::shared_ptr<const PairRouter> currentRouter() const;
    // pieceDone: called once for each piece answered on each leg
    Outcome translatePieces(std::vector<std::string> pieces, const std::vector<const InstalledPair*>& route, int index,
                            std::chrono::steady_clock::time_point deadline, const std::function<void()>& pieceDone,
                            const StopFlag* stop);
    std::string unreachableMessage(const PairRouter& router, const std::string& from, const std::string& to) const;
    static std::string pairsJson(const PairRouter& router, const std::map<std::string, std::string>& versions);

    Options m_options;
    std::vector<std::string> m_problems;
    PairRouter m_installed;
    std::optional<InstalledPair> m_cyrillicReader;
    std::map<std::string, InstalledPair> m_markingLegs;  // by mode name: the pairs into Serbian, marking
    mutable std::mutex m_routesMutex;
    std::shared_ptr<const PairRouter> m_router;  // without the pairs out of use
    // the packages' versions are asked for once, beside the start-up; the list waits for them
    std::shared_future<std::map<std::string, std::string>> m_versions;
    mutable std::string m_pairsJson;                         // made on first use; empty again when the routes change
    std::map<std::string, std::set<size_t>> m_crashedTexts;  // by mode name: hashes of the texts
    std::set<std::string> m_outOfUse;
    mutable std::mutex m_poolsMutex;
    std::map<std::string, ChainPool> m_pools;  // by mode name
    bool m_stopping = false;
    int m_wakeFd = -1;
    std::thread m_watcher;
};
