// An HTTP server on 127.0.0.1, at a port it picks itself, that answers with whatever a test hands it
// and records every request it was sent.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct FixtureRequest
{
    std::string target; // path and query as sent, still percent-encoded
    std::string path;
    std::string version; // "HTTP/1.0", "HTTP/1.1"
    std::multimap<std::string, std::string> headers;
    std::map<std::string, std::string> params; // decoded query values

    std::string header(const std::string& name) const;
    std::string param(const std::string& name) const;
};

struct FixtureResponse
{
    int status = 200;
    std::string body;
    std::string contentType = "text/html; charset=utf-8";
    std::vector<std::pair<std::string, std::string>> headers;
};

class FixtureServer
{
public:
    using Handler = std::function<FixtureResponse(const FixtureRequest&)>;

    explicit FixtureServer(Handler handler);
    ~FixtureServer();
    FixtureServer(const FixtureServer&) = delete;
    FixtureServer& operator=(const FixtureServer&) = delete;

    int port() const { return m_port; }
    std::string baseUrl() const;
    std::vector<FixtureRequest> requests() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
    int m_port = 0;
};

// Keeps requests waiting inside a handler until the test opens it, so that the test can act while the
// server is still busy with a request.
class RequestGate
{
public:
    // Called by a handler: waits until the gate is opened or the timeout ends; true when opened.
    bool hold(std::chrono::milliseconds timeout);
    void open();
    // Waits until a handler is held, or the timeout ends; true when one is.
    bool waitUntilHolding(std::chrono::milliseconds timeout);
    bool holding() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
    int m_holding = 0;
};

// The bytes of a file under tests/fixtures/.
std::string readFixture(const std::string& name);

// A UTF-8 result page around the given data rows, as the postcode service writes them.
std::string resultPage(const std::vector<std::string>& rows);

// One data row of a result page: the postcode link, then the place cell with its links.
std::string resultRow(const std::string& postcode, const std::string& province, const std::string& county,
                      const std::string& place);
