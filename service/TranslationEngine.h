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
// different pairs run in parallel; each pair's engine serves one at a time.
class TranslationEngine {
public:
    struct Options {
        std::filesystem::path modesDir = DefaultModesDir();
        std::chrono::milliseconds timeout = std::chrono::seconds(120);
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
    // The running engine of one installed pair ("eng-spa"), null until first used.
    const EnginePipeline* pipeline(const std::string& modeName) const;

    // $APERTIUM_DATADIR/modes, else /usr/share/apertium/modes.
    static std::filesystem::path DefaultModesDir();

private:
    EnginePipeline& pipelineFor(const InstalledPair& pair);
    std::string unreachableMessage(const std::string& from, const std::string& to) const;

    Options m_options;
    PairRouter m_router;
    mutable std::mutex m_pipelinesMutex;
    std::map<std::string, std::unique_ptr<EnginePipeline>> m_pipelines;
};
