// The open connections of a scanner, one thread each. The pool owns the sockets: it
// closes each one when its handler returns, and can shut them down from outside to
// end a handler that waits in a read or a send.
#pragma once

#include <functional>
#include <list>
#include <mutex>
#include <thread>

namespace ovraemu {

enum class ConnectionKind {
    Http,
    Data,
    Attribute
};

class ConnectionPool
{
public:
    ConnectionPool() = default;
    ~ConnectionPool();
    ConnectionPool(const ConnectionPool&) = delete;
    ConnectionPool& operator=(const ConnectionPool&) = delete;

    // Runs handler(fd) on a thread of its own; fd is closed when it returns.
    void Serve(int fd, ConnectionKind kind, std::function<void(int)> handler);
    // Shuts down (both ways) every open connection of that kind.
    void ShutDown(ConnectionKind kind);
    void ShutDownAll();
    // Waits for every handler to return.
    void JoinAll();

private:
    struct Connection {
        int fd = -1;
        ConnectionKind kind = ConnectionKind::Http;
        bool open = true;
        std::thread thread;
    };

    void Finish(Connection& connection);
    void JoinFinishedLocked(std::list<Connection>& finished);

    std::mutex m_mutex;
    std::list<Connection> m_connections;
};

} // namespace ovraemu
