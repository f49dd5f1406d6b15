// HostileServer on POSIX sockets. Every wait polls in short steps, so that a behaviour that stalls a
// client for ever still ends promptly when the test is done with the server.
#include "hostile_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <stdexcept>

namespace {

constexpr int kPollStepMs = 20;
constexpr auto kRequestWait = std::chrono::seconds(5);
constexpr std::size_t kMaxRequestHead = 64 * 1024;

// Waits for events on socket in short steps; 0 when stopping() turned true or the deadline passed.
template <typename Stopping>
short waitFor(int socket, short events, Stopping stopping, std::chrono::steady_clock::time_point deadline)
{
    while (!stopping() && std::chrono::steady_clock::now() < deadline) {
        pollfd entry{socket, events, 0};
        const int ready = ::poll(&entry, 1, kPollStepMs);
        if (ready > 0)
            return entry.revents;
        if (ready < 0 && errno != EINTR)
            return POLLERR;
    }
    return 0;
}

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<uint16_t>(port));
    return address;
}

int boundPort(int socket)
{
    sockaddr_in address{};
    socklen_t length = sizeof address;
    if (::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return 0;
    return ntohs(address.sin_port);
}

} // namespace

struct HostileConnection::Shared
{
    mutable std::mutex mutex;
    bool stopping = false;
    int connections = 0;
    std::vector<std::string> requestLines;

    bool isStopping() const
    {
        std::lock_guard<std::mutex> lock(mutex);
        return stopping;
    }
};

HostileConnection::HostileConnection(int socket, Shared& shared) : m_socket(socket), m_shared(shared)
{
}

HostileConnection::~HostileConnection()
{
    if (m_socket >= 0)
        ::close(m_socket);
}

std::string HostileConnection::readRequest()
{
    const auto deadline = std::chrono::steady_clock::now() + kRequestWait;
    std::string head;
    std::size_t end = std::string::npos;
    while (m_socket >= 0 && (end = head.find("\r\n\r\n")) == std::string::npos &&
           head.size() < kMaxRequestHead) {
        if (waitFor(
                m_socket, POLLIN, [this] { return m_shared.isStopping(); }, deadline) == 0)
            return {};
        char buffer[4096];
        const ssize_t got = ::recv(m_socket, buffer, sizeof buffer, 0);
        if (got <= 0)
            return {};
        head.append(buffer, static_cast<std::size_t>(got));
    }
    if (end == std::string::npos)
        return {};
    head.resize(end + 4);
    std::lock_guard<std::mutex> lock(m_shared.mutex);
    m_shared.requestLines.push_back(head.substr(0, head.find("\r\n")));
    return head;
}

bool HostileConnection::send(std::string_view bytes)
{
    const auto noDeadline = std::chrono::steady_clock::time_point::max();
    while (m_socket >= 0 && !bytes.empty()) {
        const short events = waitFor(
            m_socket, POLLOUT, [this] { return m_shared.isStopping(); }, noDeadline);
        if ((events & POLLOUT) == 0)
            return false;
        const ssize_t sent = ::send(m_socket, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (sent <= 0)
            return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return m_socket >= 0;
}

bool HostileConnection::pause(std::chrono::milliseconds duration)
{
    return waitQuietly(std::chrono::steady_clock::now() + duration);
}

void HostileConnection::holdSilent()
{
    waitQuietly(std::chrono::steady_clock::time_point::max());
}

bool HostileConnection::waitQuietly(std::chrono::steady_clock::time_point deadline)
{
    while (m_socket >= 0) {
        const short events = waitFor(
            m_socket, POLLIN, [this] { return m_shared.isStopping(); }, deadline);
        if (events == 0)
            return !m_shared.isStopping();
        // Whatever the client sends now is ignored; its end of the connection is not.
        char buffer[4096];
        const ssize_t got = ::recv(m_socket, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR) || (events & (POLLERR | POLLHUP)) != 0)
            return false;
    }
    return false;
}

void HostileConnection::reset()
{
    if (m_socket < 0)
        return;
    const linger abort{1, 0};
    ::setsockopt(m_socket, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    ::close(m_socket);
    m_socket = -1;
}

HostileServer::HostileServer(Behaviour behaviour) : m_shared(std::make_unique<HostileConnection::Shared>())
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(0);
    if (m_listener < 0 ||
        ::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(m_listener, 16) != 0 || (m_port = boundPort(m_listener)) == 0) {
        if (m_listener >= 0)
            ::close(m_listener);
        throw std::runtime_error("the hostile server found no free port on 127.0.0.1");
    }
    m_thread = std::thread([this, behaviour = std::move(behaviour)] { serve(behaviour); });
}

HostileServer::~HostileServer()
{
    stop();
    ::close(m_listener);
}

std::string HostileServer::baseUrl() const
{
    return "http://127.0.0.1:" + std::to_string(m_port);
}

void HostileServer::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->stopping = true;
    }
    if (m_thread.joinable())
        m_thread.join();
    // Connections completed by the kernel but not yet accepted count as well.
    const int flags = ::fcntl(m_listener, F_GETFL);
    ::fcntl(m_listener, F_SETFL, flags | O_NONBLOCK);
    for (int socket; (socket = ::accept(m_listener, nullptr, nullptr)) >= 0;) {
        ::close(socket);
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        ++m_shared->connections;
    }
}

int HostileServer::connections() const
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->connections;
}

std::vector<std::string> HostileServer::requestLines() const
{
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->requestLines;
}

void HostileServer::serve(Behaviour behaviour)
{
    const auto noDeadline = std::chrono::steady_clock::time_point::max();
    while (waitFor(
               m_listener, POLLIN, [this] { return m_shared->isStopping(); }, noDeadline) != 0) {
        const int socket = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (socket < 0)
            continue;
        {
            std::lock_guard<std::mutex> lock(m_shared->mutex);
            ++m_shared->connections;
        }
        HostileConnection connection(socket, *m_shared);
        behaviour(connection);
    }
}

int refusingPort()
{
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(0);
    int port = 0;
    if (socket >= 0 && ::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        port = boundPort(socket);
    if (socket >= 0)
        ::close(socket);
    return port;
}

std::string responseHead(const std::string& statusLine, const std::vector<std::string>& headers)
{
    std::string head = statusLine + "\r\n";
    for (const std::string& header : headers)
        head += header + "\r\n";
    return head + "\r\n";
}
