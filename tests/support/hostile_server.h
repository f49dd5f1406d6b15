// A server on 127.0.0.1 that misbehaves on purpose: raw sockets, one thread, and a behaviour that does
// whatever it likes with each accepted connection, down to the byte and the moment.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

class HostileConnection
{
public:
    struct Shared;
    HostileConnection(int socket, Shared& shared);
    ~HostileConnection();
    HostileConnection(const HostileConnection&) = delete;
    HostileConnection& operator=(const HostileConnection&) = delete;

    int socket() const { return m_socket; }

    // The request head up to its blank line; its first line is recorded with the server. Empty when the
    // client sends none within a few seconds or hangs up.
    std::string readRequest();
    // All of bytes; false once the client is gone or the server stops.
    bool send(std::string_view bytes);
    // Waits without a word; false when the client hangs up or the server stops meanwhile.
    bool pause(std::chrono::milliseconds duration);
    // Says nothing more until the client hangs up or the server stops.
    void holdSilent();
    // Ends the connection with a reset instead of an orderly close.
    void reset();

private:
    bool waitQuietly(std::chrono::steady_clock::time_point deadline);

    int m_socket;
    Shared& m_shared;
};

class HostileServer
{
public:
    using Behaviour = std::function<void(HostileConnection&)>;

    explicit HostileServer(Behaviour behaviour);
    ~HostileServer();
    HostileServer(const HostileServer&) = delete;
    HostileServer& operator=(const HostileServer&) = delete;

    int port() const { return m_port; }
    std::string baseUrl() const;

    // Ends the behaviour at its next step and takes in the connections still waiting to be accepted, so
    // that connections() is final afterwards.
    void stop();
    int connections() const;
    // The first line of every request read, in order.
    std::vector<std::string> requestLines() const;

private:
    void serve(Behaviour behaviour);

    std::unique_ptr<HostileConnection::Shared> m_shared;
    int m_listener = -1;
    int m_port = 0;
    std::thread m_thread;
};

// A port on 127.0.0.1 where nothing listens, so that a connection is refused.
int refusingPort();

// The head of an answer: the status line, the given header lines, and the blank line.
std::string responseHead(const std::string& statusLine, const std::vector<std::string>& headers = {});
