// Every direction the default install reaches, through the service program,
// against the engine's own command line on the same route; and the routes
// that are easy to get wrong.
#include "ServiceSuite.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>

#include <httplib.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <map>
#include <mutex>

namespace {

// A short sentence in each language the engine reads.
const std::map<QString, QString> kSentences{
    {"af", "Die hond is groot."},  {"be", "Сабака вялікая."},     {"bg", "Кучето е голямо."},
    {"ca", "El gos és gran."},     {"da", "Hunden er stor."},     {"en", "The dog is big."},
    {"es", "El perro es grande."}, {"fr", "Le chien est grand."}, {"gl", "O can é grande."},
    {"hr", "Pas je velik."},       {"id", "Anjing itu besar."},   {"is", "Hundurinn er stór."},
    {"it", "Il cane è grande."},   {"mk", "Кучето е големо."},    {"ms", "Anjing itu besar."},
    {"nl", "De hond is groot."},   {"no", "Hunden er stor."},     {"pt", "O cão é grande."},
    {"ro", "Câinele este mare."},  {"ru", "Я читаю книгу."},      {"sl", "Pes je velik."},
    {"sr", "Pas je veliki."},      {"sv", "Hunden är stor."},     {"uk", "Собака велика."},
};

struct Direction {
    QString from, to;
    QStringList route;  // mode names, in order
    QString version;    // of the engine data on the route
};

// The engine's command line for one mode and one text (texts are not
// batched: the engine reads the start of a paragraph after another
// differently from the start of a text).
QString commandLine(const QString& mode, const QString& text)
{
    QProcess engine;
    engine.start(QStringLiteral("/usr/bin/apertium"), {QStringLiteral("-u"), mode});
    engine.write(text.toUtf8() + "\n");
    engine.closeWriteChannel();
    engine.waitForFinished(300000);
    return QString::fromUtf8(engine.readAllStandardOutput()).trimmed();
}

// Runs jobs on four threads at once.
void runConcurrently(const std::vector<std::function<void()>>& jobs)
{
    std::atomic<size_t> next = 0;
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w) {
        workers.emplace_back([&] {
            for (size_t i = next++; i < jobs.size(); i = next++)
                jobs[i]();
        });
    }
    for (auto& worker : workers)
        worker.join();
}

class ServicePairs : public ServiceSuite {
protected:
    static void SetUpTestSuite()
    {
        startService();
        if (!s_service->running())
            return;
        httplib::Client client("127.0.0.1", s_service->port());
        const auto res = client.Get("/pairs");
        if (!res)
            return;
        const QJsonArray pairs =
            QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).object()["pairs"].toArray();
        for (const auto& value : pairs) {
            const QJsonObject p = value.toObject();
            Direction d{p["from"].toString(), p["to"].toString(), {}, p["version"].toString()};
            for (const auto& leg : p["route"].toArray())
                d.route << leg.toString();
            s_directions[{d.from, d.to}] = d;
        }
    }
    static httplib::Result post(const QString& text, const QString& from, const QString& to)
    {
        return ServiceSuite::post("q=" + QUrl::toPercentEncoding(text).toStdString() + "&from=" + from.toStdString()
                                  + "&to=" + to.toStdString());
    }

    static QStringList route(const QString& from, const QString& to)
    {
        const auto it = s_directions.find({from, to});
        return it == s_directions.end() ? QStringList{} : it->second.route;
    }

    static std::map<std::pair<QString, QString>, Direction> s_directions;
};
std::map<std::pair<QString, QString>, Direction> ServicePairs::s_directions;

}  // namespace

// What dpkg says of a package's version.
QString packageVersion(const QString& package)
{
    QProcess dpkg;
    dpkg.start(QStringLiteral("dpkg-query"),
               {QStringLiteral("-W"), QStringLiteral("-f"), QStringLiteral("${Version}"), package});
    dpkg.waitForFinished(60000);
    return QString::fromUtf8(dpkg.readAllStandardOutput()).trimmed();
}

TEST_F(ServicePairs, EveryRouteNamesTheVersionOfEachStepsDataPackage)
{
    ASSERT_GE(s_directions.size(), 150u);
    for (const auto& [key, d] : s_directions) {
        const QStringList steps = d.version.split(QStringLiteral(" + "));
        EXPECT_EQ(steps.size(), d.route.size())
            << d.from.toStdString() << "-" << d.to.toStdString() << ": " << d.version.toStdString();
        for (const QString& step : steps)
            EXPECT_TRUE(step.startsWith("apertium-") && step.contains(' ')) << step.toStdString();
    }
    const QString engSpa = "apertium-eng-spa " + packageVersion("apertium-eng-spa");
    EXPECT_EQ(s_directions.at({"en", "es"}).version, engSpa);
    ASSERT_EQ(route("en", "fr"), QStringList({"eng-spa", "es-fr"}));
    EXPECT_EQ(s_directions.at({"en", "fr"}).version, engSpa + " + apertium-fr-es " + packageVersion("apertium-fr-es"));
}

TEST_F(ServicePairs, EveryReachableDirectionTranslatesAsTheEngineDoesOnThatRoute)
{
    ASSERT_GE(s_directions.size(), 150u);
    // what the command line gives for each (route so far, text); each mode runs once per step
    std::map<std::pair<QString, QStringList>, QString> expected;  // (from, route) -> text
    for (qsizetype step = 0; step < 3; ++step) {
        std::vector<std::pair<QString, QStringList>> wanted;  // (from, route so far)
        for (const auto& [key, d] : s_directions) {
            const std::pair<QString, QStringList> through(d.from, d.route.mid(0, step + 1));
            if (d.route.size() > step && !expected.count(through)
                && std::find(wanted.begin(), wanted.end(), through) == wanted.end())
                wanted.push_back(through);
        }
        std::vector<QString> outputs(wanted.size());
        std::vector<std::function<void()>> jobs;
        for (size_t i = 0; i < wanted.size(); ++i) {
            const auto& [from, through] = wanted[i];
            const QString input = step == 0 ? kSentences.at(from) : expected.at({from, through.mid(0, step)});
            jobs.push_back([&outputs, i, mode = through.back(), input] { outputs[i] = commandLine(mode, input); });
        }
        runConcurrently(jobs);
        for (size_t i = 0; i < wanted.size(); ++i)
            expected[wanted[i]] = outputs[i];
    }

    // the service, four directions at a time
    std::mutex failuresMutex;
    std::string failures;
    std::vector<std::function<void()>> jobs;
    for (const auto& [key, direction] : s_directions) {
        jobs.push_back([&, d = direction] {
            const auto res = post(kSentences.at(d.from), d.from, d.to);
            const QString engine = expected.at({d.from, d.route});
            const QString got = res ? QString::fromStdString(res->body).trimmed() : QStringLiteral("(no answer)");
            // where the engine itself breaks down on the text, the service must say so, not answer
            // (after a second such text its pair is out of use)
            const bool brokeDown = res
                                   && ((res->status >= 500 && got.contains(QStringLiteral("engine program")))
                                       || (res->status == 400 && got.contains(QStringLiteral("out of use"))));
            const bool right =
                res
                && (engine.isEmpty() ? brokeDown : res->status == 200 && got == QStringLiteral("\"%1\"").arg(engine));
            if (!right) {
                std::lock_guard lock(failuresMutex);
                failures +=
                    (d.from + "-" + d.to + " via " + d.route.join(',') + ": " + got + " instead of " + engine + "\n")
                        .toStdString();
            }
        });
    }
    runConcurrently(jobs);
    EXPECT_TRUE(failures.empty()) << failures;
}

TEST_F(ServicePairs, TrickyRoutes)
{
    struct Case {
        const char* from;
        const char* to;
        QStringList route;
    };
    const std::vector<Case> cases{
        // direct pairs, also where a pivot would be as short
        {"en", "es", {"eng-spa"}},
        {"es", "ca", {"spa-cat"}},
        // the better-resourced pivot: Spanish before Catalan or Galician
        {"en", "fr", {"eng-spa", "es-fr"}},
        {"en", "pt", {"eng-spa", "es-pt"}},
        // Croatian and Serbian: their own written variant, one reader for both
        {"en", "hr", {"eng-hbs_HR"}},
        {"en", "sr", {"eng-hbs_SR"}},
        {"hr", "en", {"hbs-eng"}},
        {"sr", "en", {"hbs-eng"}},
        {"mk", "sr", {"mkd-hbs_SR"}},
        // Norwegian is Bokmål
        {"no", "da", {"nob-dan"}},
        {"sv", "no", {"swe-nob"}},
        // one-way pairs used in their own direction only
        {"ro", "es", {"ro-es"}},
        {"ro", "en", {"ro-es", "spa-eng"}},
        {"is", "en", {"isl-eng"}},
        {"bg", "en", {"bul-mkd", "mkd-eng"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(route(c.from, c.to), c.route) << c.from << "-" << c.to;

    // the other way round there is no route: the error names both languages and what each reaches
    for (const auto& [from, to] :
         std::vector<std::pair<const char*, const char*>>{{"es", "ro"}, {"en", "ro"}, {"id", "en"}}) {
        EXPECT_TRUE(route(from, to).isEmpty()) << from << "-" << to;
        const auto res = post(QStringLiteral("Hello"), from, to);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 400);
        EXPECT_NE(res->body.find("No translation from "), std::string::npos) << res->body;
        EXPECT_NE(res->body.find("can be translated into: "), std::string::npos) << res->body;
    }
    const auto res = post(QStringLiteral("Hello"), "id", "en");
    EXPECT_NE(res->body.find("Indonesian (id) can be translated into: Malay (ms)."), std::string::npos) << res->body;
}
