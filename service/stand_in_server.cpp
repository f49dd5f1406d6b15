// HTTP glue of the stand-in service on cpp-httplib; the answers themselves are plain functions.
#include "stand_in_server.h"

#include <httplib.h>

#include <atomic>
#include <thread>

#include "page_request.h"
#include "result_html.h"

namespace service {
namespace {

constexpr const char* kHost = "127.0.0.1";
constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kPlainText = "text/plain; charset=utf-8";

// The query string exactly as sent: the request library decodes parameters too leniently to check them.
std::string_view rawQueryOf(std::string_view target)
{
    const std::size_t question = target.find('?');
    if (question == std::string_view::npos)
        return std::string_view();
    std::string_view query = target.substr(question + 1);
    return query.substr(0, query.find('#'));
}

} // namespace

Answer answerPageRequest(const Catalogue& catalogue, std::string_view rawQuery, RequestLog* log)
{
    std::string error;
    const std::optional<PageRequest> request = parsePageRequest(rawQuery, error);
    if (!request)
        return {400, kPlainText, "Bad request: " + error + "\n"};
    if (log != nullptr)
        log->write(*request);
    return {200, kHtml,
            renderResultPage(request->places, catalogue.match(request->places), request->pageNumber)};
}

struct StandInServer::Impl
{
    Impl(const Catalogue& catalogue, RequestLog* log) : catalogue(catalogue), log(log) {}

    const Catalogue& catalogue;
    RequestLog* log;
    httplib::Server server;
    bool listening = false;
    // stop() may come before serve() has started the server, when httplib's stop() does nothing yet.
    std::atomic<bool> serving{false};
    std::atomic<bool> stopRequested{false};
};

StandInServer::StandInServer(const Catalogue& catalogue, RequestLog* log)
    : m_impl(std::make_unique<Impl>(catalogue, log))
{
    m_impl->server.Get("/postcode/s", [this](const httplib::Request& req, httplib::Response& res) {
        const Answer answer = answerPageRequest(m_impl->catalogue, rawQueryOf(req.target), m_impl->log);
        res.status = answer.status;
        res.set_content(answer.body, answer.contentType.c_str());
    });
    m_impl->server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
        if (res.body.empty())
            res.set_content(res.status == 404 ? "Not found\n" : "Error " + std::to_string(res.status) + "\n",
                            kPlainText);
    });
}

StandInServer::~StandInServer() = default;

int StandInServer::listen(int port)
{
    if (port == 0) {
        port = m_impl->server.bind_to_any_port(kHost);
    } else if (!m_impl->server.bind_to_port(kHost, port)) {
        port = -1;
    }
    m_impl->listening = port > 0;
    return m_impl->listening ? port : -1;
}

bool StandInServer::serve()
{
    if (!m_impl->listening)
        return false;
    m_impl->serving = true;
    const bool served = m_impl->stopRequested || m_impl->server.listen_after_bind();
    m_impl->serving = false;
    return served;
}

void StandInServer::stop()
{
    m_impl->stopRequested = true;
    while (m_impl->serving && !m_impl->server.is_running())
        std::this_thread::yield();
    m_impl->server.stop();
}

} // namespace service
