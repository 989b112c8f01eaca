#include "ServiceMetrics.h"

#include "TranslationEngine.h"

#include <algorithm>
#include <cstdio>
#include <set>

namespace {

std::string number(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

void header(std::string& out, const char* name, const char* type, const char* help)
{
    out += "# HELP ";
    out += name;
    out += ' ';
    out += help;
    out += "\n# TYPE ";
    out += name;
    out += ' ';
    out += type;
    out += '\n';
}

// A label value as the text format writes it; mode names come from file names.
std::string label(const std::string& value)
{
    std::string out;
    for (const char c : value) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c == '\n' ? std::string("\\n") : std::string(1, c);
    }
    return out;
}

}  // namespace

const char* ServiceMetrics::route(const std::string& path)
{
    for (const char* route : {"/translate", "/translate-document", "/detect", "/pairs", "/health", "/metrics"}) {
        if (path == route)
            return route;
    }
    return "other";
}

void ServiceMetrics::countAnswer(const char* route, int status)
{
    std::lock_guard lock(m_mutex);
    ++m_answers[{route, status}];
}

void ServiceMetrics::countCancel(const char* route)
{
    std::lock_guard lock(m_mutex);
    ++m_cancels[route];
}

void ServiceMetrics::countTranslation(std::chrono::duration<double> took, bool translated, const std::string& utf8Text)
{
    // code points: every byte that does not continue a sequence starts one
    const auto characters = static_cast<uint64_t>(std::count_if(
        utf8Text.begin(), utf8Text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
    std::lock_guard lock(m_mutex);
    ++m_translations;
    m_translationSeconds += took.count();
    for (size_t i = 0; i < kBuckets.size(); ++i) {
        if (took.count() <= kBuckets[i])
            ++m_bucketCounts[i];
    }
    if (translated)
        m_characters += characters;
}

std::string ServiceMetrics::exposition(const TranslationEngine& engine) const
{
    std::string out;
    {
        std::lock_guard lock(m_mutex);
        header(out, "linguaro_http_requests_total", "counter", "Requests answered, by route and HTTP status.");
        for (const auto& [key, count] : m_answers)
            out += "linguaro_http_requests_total{route=\"" + key.first + "\",status=\"" + std::to_string(key.second)
                   + "\"} " + std::to_string(count) + '\n';
        header(out, "linguaro_http_request_failures_total", "counter",
               "Requests the service failed to serve (status 500 and above), by route and HTTP status.");
        for (const auto& [key, count] : m_answers) {
            if (key.second >= 500)
                out += "linguaro_http_request_failures_total{route=\"" + key.first + "\",status=\""
                       + std::to_string(key.second) + "\"} " + std::to_string(count) + '\n';
        }
        header(out, "linguaro_requests_cancelled_total", "counter",
               "Requests whose work was stopped before their answer, as their client went away or stopped them, by "
               "route.");
        for (const auto& [route, count] : m_cancels)
            out += "linguaro_requests_cancelled_total{route=\"" + route + "\"} " + std::to_string(count) + '\n';
        header(out, "linguaro_translation_seconds", "histogram", "Time the engine took per translation request.");
        for (size_t i = 0; i < kBuckets.size(); ++i)
            out += "linguaro_translation_seconds_bucket{le=\"" + number(kBuckets[i]) + "\"} "
                   + std::to_string(m_bucketCounts[i]) + '\n';
        out += "linguaro_translation_seconds_bucket{le=\"+Inf\"} " + std::to_string(m_translations) + '\n';
        out += "linguaro_translation_seconds_sum " + number(m_translationSeconds) + '\n';
        out += "linguaro_translation_seconds_count " + std::to_string(m_translations) + '\n';
        header(out, "linguaro_translated_characters_total", "counter", "Characters of the texts translated.");
        out += "linguaro_translated_characters_total " + std::to_string(m_characters) + '\n';
    }

    std::set<std::string> modes;
    for (const InstalledPair& pair : engine.router().pairs())
        modes.insert(pair.modeName);
    header(out, "linguaro_engine_chains_running", "gauge", "Engine chains running, by installed pair.");
    for (const std::string& mode : modes)
        out += "linguaro_engine_chains_running{pair=\"" + label(mode) + "\"} "
               + std::to_string(engine.runningChains(mode)) + '\n';
    header(out, "linguaro_engine_chains_busy", "gauge", "Engine chains a request holds now, by installed pair.");
    for (const std::string& mode : modes)
        out += "linguaro_engine_chains_busy{pair=\"" + label(mode) + "\"} " + std::to_string(engine.busyChains(mode))
               + '\n';
    header(out, "linguaro_engine_chain_restarts_total", "counter",
           "Engine chains started again after they had stopped (idle, or a program ended), by installed pair.");
    for (const std::string& mode : modes)
        out += "linguaro_engine_chain_restarts_total{pair=\"" + label(mode) + "\"} "
               + std::to_string(engine.chainRestarts(mode)) + '\n';
    const std::set<std::string> outOfUse = engine.pairsOutOfUse();
    header(out, "linguaro_pairs_out_of_use", "gauge", "Installed pairs taken out of use after their engine crashed.");
    out += "linguaro_pairs_out_of_use " + std::to_string(outOfUse.size()) + '\n';
    header(out, "linguaro_pair_out_of_use", "gauge", "1 for each installed pair taken out of use.");
    for (const std::string& mode : outOfUse)
        out += "linguaro_pair_out_of_use{pair=\"" + label(mode) + "\"} 1\n";
    header(out, "linguaro_pairs_available", "gauge", "Language pairs that can be translated, pivots included.");
    out += "linguaro_pairs_available " + std::to_string(engine.reachablePairCount()) + '\n';
    return out;
}
