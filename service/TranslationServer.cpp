#include "TranslationServer.h"

#include "FormDecoding.h"
#include "LanguageCodes.h"
#include "ReplyEscaping.h"
#include "TranslationEngine.h"

#include <httplib.h>

namespace {

constexpr const char* kTextType = "text/plain; charset=utf-8";
// far above the client's 3000-character chunks, low enough to refuse a flood
constexpr size_t kMaxBody = 4 * 1024 * 1024;

void fail(httplib::Response& res, int status, const std::string& message)
{
    res.status = status;
    res.set_content(message, kTextType);
}

}  // namespace

struct TranslationServer::Impl {
    TranslationEngine& engine;
    httplib::Server server;

    explicit Impl(TranslationEngine& e) : engine(e) {}

    void translate(const httplib::Request& req, httplib::Response& res)
    {
        const FormDecoding::Fields fields = FormDecoding::Decode(req.body);
        const auto text = FormDecoding::Field(fields, "q");
        const auto from = FormDecoding::Field(fields, "from");
        const auto to = FormDecoding::Field(fields, "to");
        if (!text || !from || !to)
            return fail(res, 400, "The request needs the fields q, from and to.");
        if (!FormDecoding::IsValidUtf8(*text))
            return fail(res, 400, "The text is not valid UTF-8.");
        const TranslationEngine::Outcome outcome =
            engine.Translate(*text, LanguageCodes::Lower(*from), LanguageCodes::Lower(*to));
        if (outcome.status != 200)
            return fail(res, outcome.status, outcome.text);
        res.status = 200;
        res.set_content(ReplyEscaping::Escape(outcome.text), kTextType);
    }
};

TranslationServer::TranslationServer(TranslationEngine& engine)
    : m(std::make_unique<Impl>(engine))
{
    m->server.set_payload_max_length(kMaxBody);
    // a reply goes out as headers and body: without this the body waits for
    // the client's delayed acknowledgement of the headers
    m->server.set_tcp_nodelay(true);
    m->server.Post("/translate", [this](const httplib::Request& req, httplib::Response& res) {
        m->translate(req, res);
    });
    m->server.Get("/pairs", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(m->engine.PairsJson(), "application/json");
    });
}

TranslationServer::~TranslationServer() = default;

int TranslationServer::bind(const std::string& host, int port)
{
    if (port == 0)
        return m->server.bind_to_any_port(host);
    return m->server.bind_to_port(host, port) ? port : -1;
}

bool TranslationServer::run()
{
    return m->server.listen_after_bind();
}

void TranslationServer::stop()
{
    m->server.stop();
}
