// The service program over real HTTP on loopback with the real engine,
// driven by the application's own client and by a plain HTTP client.
#include "ServiceExchange.h"
#include "ServiceSuite.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUrl>

#include <httplib.h>

#include <gtest/gtest.h>

#include <thread>

namespace {

class ServiceServer : public ServiceSuite {
protected:
    static void SetUpTestSuite() { startService(); }

    // The translation as the application shows it.
    static QString translate(const QString& text, const QString& from, const QString& to, bool serbianCyrillic = false)
    {
        ServiceClient client(s_service->endpoint());
        client.setSerbianCyrillic(serbianCyrillic);
        return extractTranslation(client.sendChunk(text, from, to, ProxySettings{}));
    }

    static std::string form(const std::string& text, const std::string& from, const std::string& to)
    {
        return "v=2&q=" + QUrl::toPercentEncoding(QString::fromStdString(text)).toStdString() + "&ui=en&from=" + from
               + "&to=" + to + "&nl=1&esc=1&utf=1";
    }
};

}  // namespace

TEST_F(ServiceServer, EnglishToSpanish)
{
    EXPECT_EQ(translate(QStringLiteral("Hello world"), QStringLiteral("EN"), QStringLiteral("ES")).toLower(),
              QStringLiteral("hola mundo"));
    const auto res = post(form("The dog is big.", "en", "es"));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/plain; charset=utf-8");
    EXPECT_EQ(res->body, "\"El perro es grande.\"");
}

TEST_F(ServiceServer, LineStructureComesBackAsTheClientsEscapes)
{
    const auto res = post(form("Good morning.\r\nThe dog is big.\r\n\r\nThank you.\r\n", "en", "es"));
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200) << res->body;
    const std::string& reply = res->body;
    EXPECT_EQ(reply.find('\n'), std::string::npos) << reply;
    const size_t firstBreak = reply.find("\\r\\n");
    const size_t paragraph = reply.find("\\r\\n \\r\\n");
    ASSERT_NE(firstBreak, std::string::npos) << reply;
    ASSERT_NE(paragraph, std::string::npos) << reply;
    EXPECT_LT(firstBreak, reply.find("perro")) << reply;
    EXPECT_LT(reply.find("perro"), paragraph) << reply;
    EXPECT_LT(paragraph, reply.find("Gracias")) << reply;

    const QStringList paragraphs =
        translate(QStringLiteral("Good morning.\r\nThe dog is big.\r\n\r\nThank you.\r\n"), "en", "es")
            .split(QStringLiteral("\r\n\r\n"));
    ASSERT_EQ(paragraphs.size(), 2) << paragraphs.join('|').toStdString();
    EXPECT_TRUE(paragraphs[0].contains(QStringLiteral("perro")));
    EXPECT_TRUE(paragraphs[1].contains(QStringLiteral("Gracias")));
}

TEST_F(ServiceServer, FormSpecialCharactersSurvive)
{
    const QString out = translate(QStringLiteral("Two + two = 4 & 100% \"sure\"."), "en", "es");
    for (const char* kept : {"+", "=", "&", "100%", "\"", "4"})
        EXPECT_TRUE(out.contains(QLatin1String(kept))) << kept << " missing in " << out.toStdString();
    const auto res = post("q=7%2B8+9&from=en&to=es");
    ASSERT_TRUE(res);
    EXPECT_NE(res->body.find("7+8 9"), std::string::npos) << res->body;
}

TEST_F(ServiceServer, PivotThroughSpanishReachesPortugueseAndCatalan)
{
    EXPECT_TRUE(
        translate(QStringLiteral("Hello world"), "en", "pt").contains(QStringLiteral("Olá"), Qt::CaseInsensitive));
    const QString catalan = translate(QStringLiteral("Le chien est grand."), "fr", "ca");
    EXPECT_TRUE(catalan.contains(QStringLiteral("gos"))) << catalan.toStdString();
}

TEST_F(ServiceServer, UnreachablePairIsAnErrorNamingTheLanguages)
{
    const auto res = post(form("Hello", "en", "ja"));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 400);
    EXPECT_EQ(res->body.rfind("No translation from English (en) to Japanese (ja) is installed. English (en) can be "
                              "translated into: ",
                              0),
              0u)
        << res->body;
    EXPECT_NE(res->body.find("Spanish (es)"), std::string::npos);
    EXPECT_NE(res->body.find("Japanese (ja) can be translated from: none."), std::string::npos);
    // the application's client reports the service's own words
    try {
        translate(QStringLiteral("Hello"), "en", "ja");
        ADD_FAILURE() << "an unreachable pair was answered";
    } catch (const ServiceError& e) {
        // whole: what each language does reach is the part the user acts on
        EXPECT_NE(std::string(e.what()).find("Japanese (ja) can be translated from: none."), std::string::npos)
            << e.what();
    }
}

TEST_F(ServiceServer, BadRequestsAreRefused)
{
    for (const std::string body :
         {"q=hi&from=en", "from=en&to=es", "", "q=%FF%FE&from=en&to=es", "q=hi&from=%3Cscript%3E&to=es"}) {
        const auto res = post(body);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 400) << body;
        EXPECT_EQ(res->body.find("<script>"), std::string::npos);
    }
    const auto empty = post("q=&from=en&to=es");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->status, 200);
    EXPECT_EQ(empty->body, "\"\"");
}

TEST_F(ServiceServer, PairsListIsJson)
{
    // only what the default install brings is assumed; more engine data may add pairs
    httplib::Client client("127.0.0.1", s_service->port());
    const auto res = client.Get("/pairs");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    const QJsonArray pairs = QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).object()["pairs"].toArray();
    EXPECT_GE(pairs.size(), 30);
    bool direct = false, pivot = false;
    for (const auto& value : pairs) {
        const QJsonObject p = value.toObject();
        if (p["from"] == "en" && p["to"] == "es")
            direct = p["via"].toArray().isEmpty() && p["toName"] == "Spanish";
        if (p["from"] == "en" && p["to"] == "it")
            pivot = !p["via"].toArray().isEmpty() || p["toName"] == "Italian";
    }
    EXPECT_TRUE(direct);
    EXPECT_TRUE(pivot);

    // HEAD asks what GET would answer; another method is told which ones the path takes
    const auto head = client.Head("/pairs");
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 200);
    EXPECT_EQ(head->get_header_value("Content-Type"), "application/json");
    EXPECT_TRUE(head->body.empty());
    struct Refused {
        httplib::Result result;
        const char* allowed;
    };
    for (const Refused& refused :
         {Refused{client.Get("/translate"), "POST"}, Refused{client.Put("/translate", "q=a", "text/plain"), "POST"},
          Refused{client.Post("/pairs", "x", "text/plain"), "GET, HEAD"}}) {
        ASSERT_TRUE(refused.result);
        EXPECT_EQ(refused.result->status, 405);
        EXPECT_EQ(refused.result->get_header_value("Allow"), refused.allowed);
    }
    const auto unknown = client.Get("/translate/x");
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->status, 404);
}

TEST_F(ServiceServer, ControlCharactersBetweenWordsSeparateThem)
{
    const auto spaced = post(form("The dog The cat.", "en", "es"));
    ASSERT_TRUE(spaced);
    for (const std::string& separator : {std::string(1, '\0'), std::string("\0\0", 2), std::string(" \0", 2)}) {
        const auto res = post(form("The dog" + separator + "The cat.", "en", "es"));
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200);
        // the engine keeps a blank as it came; only the words are compared
        QString words = QString::fromStdString(res->body).simplified();
        EXPECT_EQ(words.toStdString(), spaced->body);
    }
}

TEST_F(ServiceServer, UnknownWordsPassThroughUnmarked)
{
    const QString out = translate(QStringLiteral("The xyzzy dog is blorfing."), "en", "es");
    EXPECT_TRUE(out.contains(QStringLiteral("xyzzy"))) << out.toStdString();
    EXPECT_TRUE(out.contains(QStringLiteral("blorfing"))) << out.toStdString();
    for (const char* mark : {"*", "#", "@"})
        EXPECT_FALSE(out.contains(QLatin1String(mark))) << out.toStdString();
}

TEST_F(ServiceServer, ConcurrentRequestsEachGetTheirOwnTranslation)
{
    struct Job {
        std::string text, from, to, expected;
    };
    std::vector<Job> jobs{{"The dog is big.", "en", "es", {}},     {"The cat is small.", "en", "es", {}},
                          {"I have a red car.", "en", "es", {}},   {"The house is white.", "en", "ca", {}},
                          {"Le chien est grand.", "fr", "es", {}}, {"The water is cold.", "en", "pt", {}}};
    for (Job& job : jobs) {
        const auto res = post(form(job.text, job.from, job.to));
        ASSERT_TRUE(res);
        ASSERT_EQ(res->status, 200) << res->body;
        job.expected = res->body;
    }
    std::vector<std::string> failures(4);
    std::vector<std::thread> threads;
    for (size_t t = 0; t < failures.size(); ++t) {
        threads.emplace_back([&, t] {
            httplib::Client client("127.0.0.1", s_service->port());
            client.set_read_timeout(120, 0);
            for (size_t round = 0; round < 3 * jobs.size(); ++round) {
                const Job& job = jobs[(round + t) % jobs.size()];
                const auto res =
                    client.Post("/translate", form(job.text, job.from, job.to), "application/x-www-form-urlencoded");
                if (!res || res->status != 200 || res->body != job.expected)
                    failures[t] += job.text + " -> " + (res ? res->body : std::string("no answer")) + "\n";
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (const auto& failure : failures)
        EXPECT_TRUE(failure.empty()) << failure;
}

TEST_F(ServiceServer, LongChunkIsTranslatedWhole)
{
    const QStringList sentences{
        QStringLiteral("The weather is good today."), QStringLiteral("My brother works in a big city."),
        QStringLiteral("We eat bread and cheese in the morning."), QStringLiteral("The children play in the garden.")};
    QString text;
    for (int i = 0; text.size() < 2990; ++i)
        text += sentences[i % sentences.size()] + (i % 7 == 6 ? QStringLiteral("\r\n") : QStringLiteral(" "));
    text = text.left(3000);
    const QString out = translate(text, "en", "es");
    EXPECT_GT(out.size(), 2000) << out.size();
    EXPECT_TRUE(out.contains(QStringLiteral("jardín"))) << out.left(200).toStdString();
    // the last sentence made it through too
    EXPECT_TRUE(out.right(200).contains(QStringLiteral("El"))) << out.right(200).toStdString();
    EXPECT_FALSE(out.contains(QStringLiteral("\\r\\n")));
}

TEST_F(ServiceServer, SerbianInBothScripts)
{
    // Cyrillic input reads as its Latin spelling does; Cyrillic output keeps
    // what the engine did not translate and the characters it marks with
    struct Route {
        const char* name;
        QString text, from, to;
        bool cyrillic;
        QString expected;  // the translation, or with sameAs the text whose translation it equals
        QString sameAs;
    };
    const QString cyrillicSentence = QStringLiteral("Кућа је велика и река је дуга.");
    const QString latinSentence = QStringLiteral("Kuća je velika i reka je duga.");
    const std::vector<Route> routes{
        {"Cyrillic into English", cyrillicSentence, "sr", "en", false, "House is large and river is long.", {}},
        {"Cyrillic, the option on too", cyrillicSentence, "sr", "en", true, "House is large and river is long.", {}},
        {"Latin into English", latinSentence, "sr", "en", false, "House is large and river is long.", {}},
        {"Cyrillic through a pivot", cyrillicSentence, "sr", "es", false, {}, latinSentence},
        {"mixed scripts, unknown words kept",
         QStringLiteral("Кућа je велика, Xyzzy Ђурђевдан."),
         "sr",
         "en",
         false,
         {},
         QStringLiteral("Kuća je velika, Xyzzy Đurđevdan.")},
        {"Croatian is not read from Cyrillic", cyrillicSentence, "hr", "en", false, cyrillicSentence, {}},
        {"into Serbian, Latin by default",
         "The river is long. #love C# 5*3 @home",
         "en",
         "sr",
         false,
         "The rijeka i long. #ljubav C# 5*3 @dom",
         {}},
        {"into Serbian in Cyrillic",
         "The river is long. #love C# 5*3 @home",
         "en",
         "sr",
         true,
         QStringLiteral("The ријека i long. #љубав C# 5*3 @дом"),
         {}},
        {"untranslated words stay",
         "Xyzzy loves the river.",
         "en",
         "sr",
         true,
         QStringLiteral("Xyzzy љубав the ријека."),
         {}},
        {"letters Latin writes with two",
         "Love. LOVE. The pocket.",
         "en",
         "sr",
         true,
         QStringLiteral("Љубав. ЉУБАВ. The џеп."),
         {}},
        {"Cyrillic through a pivot out",
         "El río es largo.",
         "es",
         "sr",
         true,
         QStringLiteral("The ријека i long."),
         {}},
        {"Croatian stays Latin", "The river is long.", "en", "hr", true, {}, {}},
    };
    for (const Route& route : routes) {
        const QString out = translate(route.text, route.from, route.to, route.cyrillic);
        if (!route.sameAs.isEmpty())
            EXPECT_EQ(out.toStdString(), translate(route.sameAs, route.from, route.to).toStdString()) << route.name;
        else if (!route.expected.isEmpty())
            EXPECT_EQ(out.toStdString(), route.expected.toStdString()) << route.name;
        else
            EXPECT_EQ(out.toStdString(), translate(route.text, route.from, route.to).toStdString()) << route.name;
        EXPECT_EQ(out.contains(QRegularExpression(QStringLiteral("[\\x{0400}-\\x{04ff}]"))),
                  (route.cyrillic && route.to == "sr") || route.from == "hr")
            << route.name << ": " << out.toStdString();
    }
}

TEST_F(ServiceServer, DetectAnswersTheCandidatesBestFirst)
{
    httplib::Client client("127.0.0.1", s_service->port());
    const std::string french = "Nous avons passé une semaine merveilleuse à la montagne avec toute la famille.";
    const std::string encoded = QUrl::toPercentEncoding(QString::fromStdString(french)).toStdString();
    std::string notUtf8;
    for (int i = 0; i < 40; ++i)
        notUtf8 += "%FF%FE%C3%28";
    struct Case {
        const char* what;
        httplib::Result result;
        const char* verdict;
        const char* best;  // the first candidate's code; null: none
    };
    const Case cases[] = {
        {"GET", client.Get("/detect?q=" + encoded), "detected", "fr"},
        {"POST", client.Post("/detect", "q=" + encoded, "application/x-www-form-urlencoded"), "detected", "fr"},
        {"Croatian",
         client.Post(
             "/detect",
             "q="
                 + QUrl::toPercentEncoding(
                       QStringLiteral("Jučer smo cijeli dan šetali po gradu i razgledavali stare crkve i trgove."))
                       .toStdString(),
             "application/x-www-form-urlencoded"),
         "detected", "hr"},
        {"one word", client.Get("/detect?q=Bonjour"), "too short", nullptr},
        {"not UTF-8", client.Post("/detect", "q=" + notUtf8, "application/x-www-form-urlencoded"), "too short",
         nullptr},
        {"Basque",
         client.Get(
             "/detect?q="
             + QUrl::toPercentEncoding(
                   QStringLiteral(
                       "Euskara ikasten ari naiz eta oso hizkuntza polita eta interesgarria iruditzen zait benetan."))
                   .toStdString()),
         "not listed", nullptr},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(c.result) << c.what;
        ASSERT_EQ(c.result->status, 200) << c.what << ": " << c.result->body;
        EXPECT_EQ(c.result->get_header_value("Content-Type"), "application/json") << c.what;
        const QJsonObject answer = QJsonDocument::fromJson(QByteArray::fromStdString(c.result->body)).object();
        EXPECT_EQ(answer["verdict"].toString().toStdString(), c.verdict) << c.what << ": " << c.result->body;
        const QJsonArray candidates = answer["candidates"].toArray();
        if (!c.best) {
            EXPECT_TRUE(candidates.isEmpty()) << c.what;
            EXPECT_TRUE(answer["reason"].toString().startsWith("Cannot tell")) << c.what;
            continue;
        }
        ASSERT_FALSE(candidates.isEmpty()) << c.what;
        EXPECT_EQ(candidates[0].toObject()["code"].toString().toStdString(), c.best) << c.what;
        int previous = 101;
        for (const auto& candidate : candidates) {
            const int percent = candidate.toObject()["percent"].toInt(-1);
            EXPECT_TRUE(percent > 0 && percent <= previous) << c.what << ": " << c.result->body;
            previous = percent;
        }
        EXPECT_GE(candidates[0].toObject()["percent"].toInt(), 70) << c.what;
    }

    const auto missing = client.Post("/detect", "text=hello", "application/x-www-form-urlencoded");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->status, 400);
    const auto put = client.Put("/detect", "q=a", "text/plain");
    ASSERT_TRUE(put);
    EXPECT_EQ(put->status, 405);
    EXPECT_EQ(put->get_header_value("Allow"), "GET, HEAD, POST");
}
