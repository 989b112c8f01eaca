// GET /health and GET /metrics of the real service program: what a load
// balancer and a monitoring system read must agree with what was served.
#include "PrometheusText.h"
#include "ServiceSuite.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QUrl>

namespace {

class ServiceHealth : public ServiceSuite {
protected:
    static void SetUpTestSuite() { startService(); }

    static httplib::Result get(int port, const std::string& path)
    {
        httplib::Client client("127.0.0.1", port);
        return client.Get(path);
    }
    static PrometheusText metrics()
    {
        const auto res = get(s_service->port(), "/metrics");
        EXPECT_TRUE(res && res->status == 200);
        EXPECT_EQ(res->get_header_value("Content-Type"), "text/plain; version=0.0.4; charset=utf-8");
        return PrometheusText(res ? res->body : std::string());
    }
    static std::string form(const std::string& text, const std::string& from, const std::string& to)
    {
        return "q=" + QUrl::toPercentEncoding(QString::fromStdString(text)).toStdString() + "&from=" + from
               + "&to=" + to;
    }
};

QJsonObject json(const httplib::Result& res)
{
    return res ? QJsonDocument::fromJson(QByteArray::fromStdString(res->body)).object() : QJsonObject();
}

}  // namespace

TEST_F(ServiceHealth, HealthCountsThePairsThatCanBeTranslated)
{
    const auto health = get(s_service->port(), "/health");
    ASSERT_TRUE(health);
    EXPECT_EQ(health->status, 200);
    EXPECT_EQ(health->get_header_value("Content-Type"), "application/json");
    const auto pairs = get(s_service->port(), "/pairs");
    ASSERT_TRUE(pairs);
    const qsizetype listed = QJsonDocument::fromJson(QByteArray::fromStdString(pairs->body))["pairs"].toArray().size();
    EXPECT_GT(listed, 0);
    EXPECT_EQ(json(health)["status"].toString(), "ready");
    EXPECT_EQ(json(health)["pairs"].toInteger(), listed);

    // a machine without engine data must not be sent translations
    QTemporaryDir noModes;
    ServiceProcess empty({"--modes", noModes.path()});
    ASSERT_TRUE(empty.running()) << empty.startError().toStdString();
    const auto unready = get(empty.port(), "/health");
    ASSERT_TRUE(unready);
    EXPECT_EQ(unready->status, 503);
    EXPECT_EQ(json(unready)["status"].toString(), "no pair works");
    EXPECT_EQ(json(unready)["pairs"].toInteger(), 0);
    httplib::Client client("127.0.0.1", empty.port());
    EXPECT_EQ(client.Post("/health", "", "text/plain")->status, 405);
}

TEST_F(ServiceHealth, MetricsCountWhatWasServed)
{
    const PrometheusText before = metrics();
    // code points, not bytes: "Café" is four characters
    const std::vector<std::string> texts = {"The dog is big.", "Café with milk.", "Good morning."};
    size_t characters = 0;
    for (const std::string& text : texts) {
        const auto res = post(form(text, "en", "es"));
        ASSERT_TRUE(res && res->status == 200);
        characters += QString::fromStdString(text).size();
    }
    ASSERT_EQ(post(form("Hello", "en", "zz"))->status, 400);  // reaches the engine, is refused there
    ASSERT_EQ(post("from=en&to=es")->status, 400);            // refused before the engine
    ASSERT_EQ(get(s_service->port(), "/wp-login.php")->status, 404);
    ASSERT_EQ(get(s_service->port(), "/.env")->status, 404);
    const PrometheusText after = metrics();

    const auto delta = [&](const std::string& series) { return after[series] - before[series]; };
    EXPECT_EQ(delta(PrometheusText::requests("/translate", 200)), 3);
    EXPECT_EQ(delta(PrometheusText::requests("/translate", 400)), 2);
    // unknown paths share one series, so scanners cannot grow the exposition
    EXPECT_EQ(delta(PrometheusText::requests("other", 404)), 2);
    EXPECT_EQ(delta(PrometheusText::requests("/metrics", 200)), 1);
    EXPECT_EQ(delta("linguaro_translation_seconds_count"), 4);
    EXPECT_EQ(delta("linguaro_translated_characters_total"), static_cast<double>(characters));
    EXPECT_GT(delta("linguaro_translation_seconds_sum"), 0);
    EXPECT_EQ(after["linguaro_http_request_failures_total{route=\"/translate\",status=\"500\"}"], 0);

    // cumulative buckets, the last one holding every observation
    double previous = 0;
    for (const auto& [series, value] : after.samples()) {
        if (series.rfind("linguaro_translation_seconds_bucket{", 0) == 0 && series.find("+Inf") == std::string::npos) {
            EXPECT_GE(after["linguaro_translation_seconds_count"], value) << series;
            previous = std::max(previous, value);
        }
    }
    EXPECT_EQ(after["linguaro_translation_seconds_bucket{le=\"+Inf\"}"], after["linguaro_translation_seconds_count"]);
    EXPECT_GT(previous, 0);

    EXPECT_EQ(after["linguaro_engine_chains_running{pair=\"eng-spa\"}"], 1);
    EXPECT_TRUE(after.has("linguaro_engine_chain_restarts_total{pair=\"eng-spa\"}"));
    EXPECT_EQ(after["linguaro_pairs_out_of_use"], 0);
    EXPECT_EQ(after["linguaro_pairs_available"], json(get(s_service->port(), "/health"))["pairs"].toInteger());
}
