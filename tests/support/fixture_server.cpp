// The test server behind FixtureServer, on cpp-httplib, one listening thread per server.
#include "fixture_server.h"

#include <httplib.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

struct FixtureServer::Impl
{
    httplib::Server server;
    std::thread thread;
    mutable std::mutex mutex;
    std::vector<FixtureRequest> requests;
};

std::string FixtureRequest::header(const std::string& name) const
{
    auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
}

std::string FixtureRequest::param(const std::string& name) const
{
    auto it = params.find(name);
    return it == params.end() ? std::string() : it->second;
}

FixtureServer::FixtureServer(Handler handler) : m_impl(std::make_unique<Impl>())
{
    // Clients that stop, time out or cut a body short hang up mid-answer; writing to them must not
    // end the test program.
    std::signal(SIGPIPE, SIG_IGN);
    auto answer = [this, handler](const httplib::Request& req, httplib::Response& res) {
        FixtureRequest request;
        request.target = req.target;
        request.path = req.path;
        request.version = req.version;
        for (const auto& [name, value] : req.headers)
            request.headers.emplace(name, value);
        for (const auto& [name, value] : req.params)
            request.params.emplace(name, value);
        {
            std::lock_guard<std::mutex> lock(m_impl->mutex);
            m_impl->requests.push_back(request);
        }
        FixtureResponse response = handler(request);
        res.status = response.status;
        for (const auto& [name, value] : response.headers)
            res.set_header(name, value);
        res.set_content(response.body, response.contentType);
    };
    m_impl->server.Get(".*", answer);
    m_port = m_impl->server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        throw std::runtime_error("the fixture server found no free port on 127.0.0.1");
    m_impl->thread = std::thread([this] { m_impl->server.listen_after_bind(); });
    // A stop before the listening loop has begun goes unnoticed and leaves the destructor waiting.
    while (!m_impl->server.is_running())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

FixtureServer::~FixtureServer()
{
    m_impl->server.stop();
    m_impl->thread.join();
}

std::string FixtureServer::baseUrl() const
{
    return "http://127.0.0.1:" + std::to_string(m_port);
}

std::vector<FixtureRequest> FixtureServer::requests() const
{
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->requests;
}

bool RequestGate::hold(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_holding;
    m_changed.notify_all();
    const bool opened = m_changed.wait_for(lock, timeout, [this] { return m_open; });
    --m_holding;
    m_changed.notify_all();
    return opened;
}

void RequestGate::open()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_open = true;
    m_changed.notify_all();
}

bool RequestGate::waitUntilHolding(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [this] { return m_holding > 0; });
}

bool RequestGate::holding() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_holding > 0;
}

std::string readFixture(const std::string& name)
{
    std::ifstream file(std::string(FIXTURE_DIR) + "/" + name, std::ios::binary);
    if (!file)
        throw std::runtime_error("no fixture " + name);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

std::string resultPage(const std::vector<std::string>& rows)
{
    std::string page = "<html><head><meta charset=\"utf-8\"><title>邮编查询</title></head><body>\r\n"
                       "<ul class=\"list\"><li><span>邮编</span><p>行政区域</p></li><li><span>";
    for (std::size_t i = 0; i < rows.size(); ++i)
        page += (i == 0 ? "" : "</li><li><span>") + rows[i];
    return page + "</li></ul>\r\n<div id=\"page\"><a href=\"?pn=2\">下一页</a></div></body></html>\r\n";
}

std::string resultRow(const std::string& postcode, const std::string& province, const std::string& county,
                      const std::string& place)
{
    return "<a href=\"/postcode/" + postcode + "\">" + postcode + "</a></span><p><a href=\"/p\">" + province +
           "</a> <a href=\"/c\">" + county + "</a> " + place + "</p>";
}
