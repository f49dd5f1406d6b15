// The stand-in postcode service: answers result page requests from a catalogue over HTTP on 127.0.0.1.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "catalogue.h"
#include "request_log.h"

namespace service {

struct Answer
{
    int status = 200;
    std::string contentType;
    std::string body;
};

// The answer to GET /postcode/s with the given raw (still percent-encoded) query string.
Answer answerPageRequest(const Catalogue& catalogue, std::string_view rawQuery, RequestLog* log);

class StandInServer
{
public:
    // Both must outlive the server; log may be null.
    explicit StandInServer(const Catalogue& catalogue, RequestLog* log = nullptr);
    ~StandInServer();
    StandInServer(const StandInServer&) = delete;
    StandInServer& operator=(const StandInServer&) = delete;

    // Listens on 127.0.0.1 at port, or at a free port for 0; connections are accepted (and wait for
    // serve()) from then on. The port, or -1 when it cannot listen.
    int listen(int port);

    // Answers requests until stop(); false when it was not listening.
    bool serve();

    // From any thread; serve() returns soon after.
    void stop();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace service
