#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <utility>

class TranslationEngine;

// What the service has done since it started, in the Prometheus text format
// for GET /metrics: answers by route and status, requests stopped as their
// client went away, the time translations took, the characters translated, and
// the engine's own state read at scrape time.
// Safe to use from every thread.
class ServiceMetrics {
public:
    // The route label of a request path: the service's own routes, anything
    // else "other", so scanners cannot make the series grow without bound.
    static const char* route(const std::string& path);

    void countAnswer(const char* route, int status);
    // A request whose work was stopped, as its client went away or stopped it, before its answer.
    void countCancel(const char* route);
    // One request the engine worked on, whatever came of it; characters are
    // counted only when it was translated.
    void countTranslation(std::chrono::duration<double> took, bool translated, const std::string& utf8Text);

    std::string exposition(const TranslationEngine& engine) const;

    // Upper bounds of the translation time buckets, in seconds.
    static constexpr std::array<double, 14> kBuckets{0.005, 0.01, 0.025, 0.05, 0.1, 0.25, 0.5,
                                                     1,     2.5,  5,     10,   30,  60,   120};

private:
    mutable std::mutex m_mutex;
    std::map<std::pair<std::string, int>, uint64_t> m_answers;
    std::map<std::string, uint64_t> m_cancels;
    std::array<uint64_t, kBuckets.size()> m_bucketCounts{};
    uint64_t m_translations = 0;
    double m_translationSeconds = 0;
    uint64_t m_characters = 0;
};
