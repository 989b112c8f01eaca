#include "DetectionSentences.h"
#include "LanguageDetector.h"
#include "LanguageTable.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QString>

#include <cstdio>

using DetectionSentences::ListedOnly;
using DetectionSentences::Reachable;
using DetectionSentences::Sample;

TEST(LanguageDetector, NamesTheReachableLanguagesNearlyAlways)
{
    int right = 0;
    for (const Sample& s : Reachable) {
        const auto result = LanguageDetector::detect(QString::fromUtf8(s.text));
        const QString found = result.detected() ? result.best().code : QStringLiteral("-");
        if (result.detected()
            && LanguageDetector::sameLanguage(result.best().position, LanguageTable::positionOf(QLatin1String(s.code))))
            ++right;
        else
            std::printf("%s read as %s: %s\n", s.code, qPrintable(found), s.text);
    }
    const int total = int(std::size(Reachable));
    std::printf("%d of %d sentences named right\n", right, total);
    EXPECT_GE(right * 100, total * 95);
}

TEST(LanguageDetector, NamesListedLanguagesBeyondTheEngines)
{
    for (const Sample& s : ListedOnly) {
        const auto result = LanguageDetector::detect(QByteArrayView(s.text));
        ASSERT_TRUE(result.detected()) << s.text << ": " << qPrintable(LanguageDetector::describe(result));
        EXPECT_EQ(result.best().code, QLatin1String(s.code)) << s.text;
        EXPECT_EQ(result.best().position, LanguageTable::positionOf(QLatin1String(s.code)));
        EXPECT_GE(result.best().percent, LanguageDetector::MajorityPercent);
    }
}

TEST(LanguageDetector, CannotTellWhatItShouldNotGuess)
{
    const QByteArray french = "Nous avons passé une semaine merveilleuse à la montagne avec toute la famille. ";
    QByteArray brokenFrench = french;
    brokenFrench.replace("é", "\xC3\x28").replace("à", "\xFF\xFE");
    const struct {
        const char* what;
        QByteArray text;
        LanguageDetector::Verdict verdict;
    } cases[] = {
        {"empty", "", LanguageDetector::Verdict::TooShort},
        {"one word", "Bonjour", LanguageDetector::Verdict::TooShort},
        {"one long word", "Donaudampfschifffahrtsgesellschaftskapitänsmütze", LanguageDetector::Verdict::TooShort},
        {"numbers", "12 345 678,90 - 2024-05-17 3.14159 42 % 1000000", LanguageDetector::Verdict::TooShort},
        {"bytes that are not UTF-8", QByteArray("\xC3\x28\xA0\xA1\xFF\xFE\xE2\x82", 8).repeated(40),
         LanguageDetector::Verdict::TooShort},
        {"two scripts half and half",
         "This sentence is written in plain English for the test of the detector. "
         "Это предложение написано на русском языке для проверки нашего детектора.",
         LanguageDetector::Verdict::Mixed},
        {"a language not in the lists",
         "Euskara ikasten ari naiz eta oso hizkuntza polita eta interesgarria iruditzen zait benetan.",
         LanguageDetector::Verdict::NotListed},
    };
    for (const auto& c : cases) {
        const auto result = LanguageDetector::detect(QByteArrayView(c.text));
        EXPECT_EQ(int(result.verdict), int(c.verdict))
            << c.what << ": " << qPrintable(LanguageDetector::describe(result));
        EXPECT_TRUE(result.candidates.empty()) << c.what;
        EXPECT_TRUE(LanguageDetector::describe(result).startsWith("Cannot tell")) << c.what;
    }

    // broken bytes inside a sentence are passed over; a huge text is judged on a sample
    const QByteArray huge = french.repeated(10 * 1024 * 1024 / french.size());
    for (const QByteArray& text : {brokenFrench, huge}) {
        const auto result = LanguageDetector::detect(QByteArrayView(text));
        ASSERT_TRUE(result.detected()) << qPrintable(LanguageDetector::describe(result));
        EXPECT_EQ(result.best().code, "FR");
        EXPECT_EQ(LanguageDetector::describe(result),
                  QStringLiteral("Detected: French (%1%)").arg(result.best().percent));
    }
    const auto wide = LanguageDetector::detect(QString::fromUtf8(huge));
    ASSERT_TRUE(wide.detected());
    EXPECT_EQ(wide.best().code, "FR");
}
