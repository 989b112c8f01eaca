// bench_detect: how fast and how well the language of a text is told.
//
//   build/bench/detect/bench_detect [runs]
//
// chunk: a 3000-character piece of English prose (the licence texts in
// /usr/share/common-licenses), the size the translator sends at once; the
// median of `runs` detections (default 200); target under 1 ms.
// 10 MB: the prose repeated to 10 MB, as UTF-8 (the service and the command
// line) and as the window's text; the median of a tenth of the runs, at least
// five; target under 50 ms.
// accuracy: the detector's test sentences, per language: right of all, with
// Croatian, Bosnian and Serbian counted as one; the 24 languages the engines
// reach are held to 95% together, the listed ones beyond them are shown as well.

#include "BenchSupport.h"
#include "DetectionSentences.h"
#include "LanguageDetector.h"
#include "LanguageTable.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

namespace {

// The median time of `runs` calls, in milliseconds.
double medianMs(int runs, const std::function<void()>& call)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        call();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::nth_element(times.begin(), times.begin() + runs / 2, times.end());
    return times[size_t(runs / 2)];
}

bool report(const char* what, double ms, double targetMs)
{
    const bool met = ms < targetMs;
    std::printf("%-28s %8.3f ms   (target < %g ms) %s\n", what, ms, targetMs, met ? "ok" : "MISSED");
    return met;
}

// Right answers per language, and the share of all sentences.
bool accuracy(const char* title, const DetectionSentences::Sample* begin, const DetectionSentences::Sample* end,
              int targetPercent)
{
    std::map<QString, std::pair<int, int>> perLanguage;  // code -> right, all
    int right = 0;
    for (auto s = begin; s != end; ++s) {
        const int expected = LanguageTable::positionOf(QLatin1String(s->code));
        const auto result = LanguageDetector::detect(QByteArrayView(s->text));
        const bool ok = result.detected() && LanguageDetector::sameLanguage(result.best().position, expected);
        auto& [languageRight, all] = perLanguage[QLatin1String(s->code)];
        languageRight += ok ? 1 : 0;
        ++all;
        right += ok ? 1 : 0;
        if (!ok)
            std::printf("  %s read as %s: %s\n", s->code,
                        result.detected() ? qPrintable(result.best().code) : "(cannot tell)", s->text);
    }
    std::printf("%s\n", title);
    for (const auto& [code, counts] : perLanguage)
        std::printf("  %-6s %-22s %d/%d\n", qPrintable(code),
                    qPrintable(LanguageTable::displayName(LanguageTable::positionOf(code))), counts.first,
                    counts.second);
    const int all = int(end - begin);
    const double percent = 100.0 * right / all;
    std::printf("  %zu languages, %d of %d sentences right: %.1f%%", perLanguage.size(), right, all, percent);
    if (targetPercent <= 0) {
        std::printf("\n");
        return true;
    }
    std::printf("   (target >= %d%%) %s\n", targetPercent, percent >= targetPercent ? "ok" : "MISSED");
    return percent >= targetPercent;
}

}  // namespace

int main(int argc, char** argv)
{
    const int runs = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;
    bool met = true;

    const QByteArray prose = BenchSupport::englishProse(64 * 1024);
    const QByteArray chunk = QString::fromUtf8(prose).left(3000).toUtf8();
    met &= report("3000-character chunk", medianMs(runs, [&] { LanguageDetector::detect(QByteArrayView(chunk)); }), 1);

    const QByteArray huge = prose.repeated(10 * 1024 * 1024 / prose.size() + 1).left(10 * 1024 * 1024);
    const QString hugeText = QString::fromUtf8(huge);
    const int hugeRuns = std::max(5, runs / 10);
    met &= report("10 MB as UTF-8", medianMs(hugeRuns, [&] { LanguageDetector::detect(QByteArrayView(huge)); }), 50);
    met &= report("10 MB as the window's text",
                  medianMs(hugeRuns, [&] { LanguageDetector::detect(QStringView(hugeText)); }), 50);
    const auto found = LanguageDetector::detect(QByteArrayView(huge));
    std::printf("  10 MB read as: %s\n\n", qPrintable(LanguageDetector::describe(found)));

    using namespace DetectionSentences;
    met &= accuracy("Languages the engines reach:", std::begin(Reachable), std::end(Reachable), 95);
    accuracy("Listed languages beyond the engines:", std::begin(ListedOnly), std::end(ListedOnly), 0);
    std::printf("\n%s\n", met ? "Every target met." : "A target was MISSED.");
    return 0;
}
