#pragma once

#include "EnginePipeline.h"
#include "PairRouter.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>

// Translates plain text between application language codes with the
// installed engine pairs, through pivot languages where needed. Requests on
// different pairs run in parallel. Each pair keeps up to `parallel` engine
// chains; a long request is cut at empty lines and its pieces run through
// them at once, several pieces queued in each chain so that all of its
// programs work at the same time, as they would on one long text.
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
    std::string PairsJson() const;

    const PairRouter& router() const { return m_router; }
    // A running engine chain of one installed pair ("eng-spa"), null until first used.
    const EnginePipeline* pipeline(const std::string& modeName, int index = 0) const;

    // $APERTIUM_DATADIR/modes, else /usr/share/apertium/modes.
    static std::filesystem::path DefaultModesDir();

private:
    EnginePipeline& pipelineFor(const InstalledPair& pair, int index);
    // Pieces of formatted stream through every leg on one chain of each; the
    // answers are stream too, one per piece.
    Outcome translatePieces(std::vector<std::string> pieces, const std::vector<const InstalledPair*>& route, int index,
                           std::chrono::steady_clock::time_point deadline);
    std::string unreachableMessage(const std::string& from, const std::string& to) const;

    Options m_options;
    PairRouter m_router;
    mutable std::mutex m_pipelinesMutex;
    std::map<std::pair<std::string, int>, std::unique_ptr<EnginePipeline>> m_pipelines;
};
