#pragma once

#include "EnginePipeline.h"
#include "PairRouter.h"

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// Translates plain text between application language codes with the
// installed engine pairs, through pivot languages where needed. Requests on
// different pairs run in parallel. A long request is cut at empty lines and
// its pieces run through up to `parallel` chains of the pair at once,
// several pieces queued in each chain so that all of its programs work at
// the same time, as they would on one long text. A request that finds every
// chain of its pair busy starts one more (up to `parallel` + 1), so a long
// request never holds the short ones behind it. Chains start on first use; a
// watcher thread stops those left unused for the idle time, and reaps
// programs that exit between requests, stopping their chains.
class TranslationEngine {
public:
    struct Options {
        std::filesystem::path modesDir = DefaultModesDir();
        std::chrono::milliseconds timeout = std::chrono::seconds(120);
        // one chain per pair: the pieces queued in it keep all its programs
        // busy; more chains let one long request use more cores
        int parallel = 1;
        int piecesPerChain = 4;
        // pieces shorter than this are not worth cutting off
        size_t minPieceBytes = 300;
        // a chain unused for this long is stopped; it starts again when next needed
        std::chrono::milliseconds idleTimeout = std::chrono::minutes(10);
    };

    struct Outcome {
        int status = 200;   // HTTP status for the reply
        std::string text;   // the translation when status is 200, else the message
    };

    explicit TranslationEngine(Options options);
    ~TranslationEngine();

    // text and the result are UTF-8; codes are lower-case application codes.
    Outcome Translate(const std::string& text, const std::string& from, const std::string& to);

    // {"pairs":[{"from":"en","to":"es","via":[]}, ...]} for every reachable pair.
    const std::string& PairsJson() const { return m_pairsJson; }
    // Mode files left out, one line each.
    const std::vector<std::string>& problems() const { return m_problems; }

    const PairRouter& router() const { return m_router; }
    // How many engine chains of one installed pair ("eng-spa") are running.
    int runningChains(const std::string& modeName) const;
    // How often chains of that pair were started, all together.
    int chainStarts(const std::string& modeName) const;

    // $APERTIUM_DATADIR/modes, else /usr/share/apertium/modes.
    static std::filesystem::path DefaultModesDir();

private:
    struct ChainPool {
        std::vector<std::unique_ptr<EnginePipeline>> chains;
        std::vector<bool> leased;
    };
    class Lease;

    // A chain of the pair for this caller alone, the first free one from
    // `first` on; null when none came free before the deadline.
    EnginePipeline* acquire(const InstalledPair& pair, size_t first, ProcessChain::Clock::time_point deadline);
    void release(const InstalledPair& pair, EnginePipeline* chain);
    void watchChains();
    std::vector<const EnginePipeline*> chainsOf(const std::string& modeName) const;
    void wakeWatcher();
    // Pieces of formatted stream through every leg on one chain of each; the
    // answers are stream too, one per piece.
    Outcome translatePieces(std::vector<std::string> pieces, const std::vector<const InstalledPair*>& route, int index,
                           std::chrono::steady_clock::time_point deadline);
    std::string unreachableMessage(const std::string& from, const std::string& to) const;
    std::string pairsJson() const;

    Options m_options;
    std::vector<std::string> m_problems;
    PairRouter m_router;
    std::string m_pairsJson;
    mutable std::mutex m_poolsMutex;
    std::condition_variable m_chainReleased;
    std::map<std::string, ChainPool> m_pools;  // by mode name
    bool m_stopping = false;
    int m_wakeFd = -1;
    std::thread m_watcher;
};
