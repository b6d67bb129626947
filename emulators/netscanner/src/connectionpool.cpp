#include "connectionpool.h"

#include <sys/socket.h>
#include <unistd.h>

namespace ovraemu {

ConnectionPool::~ConnectionPool()
{
    ShutDownAll();
    JoinAll();
}

void ConnectionPool::Serve(int fd, ConnectionKind kind, std::function<void(int)> handler)
{
    std::list<Connection> finished;
    std::lock_guard<std::mutex> lock(m_mutex);
    JoinFinishedLocked(finished);
    m_connections.emplace_back();
    Connection& connection = m_connections.back();
    connection.fd = fd;
    connection.kind = kind;
    connection.thread = std::thread([this, &connection, handler = std::move(handler)] {
        handler(connection.fd);
        Finish(connection);
    });
    // Threads in `finished` have left Finish() and need the lock no more.
    for (Connection& done : finished)
        done.thread.join();
}

void ConnectionPool::Finish(Connection& connection)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    close(connection.fd);
    connection.open = false;
}

void ConnectionPool::JoinFinishedLocked(std::list<Connection>& finished)
{
    for (auto it = m_connections.begin(); it != m_connections.end();) {
        auto next = std::next(it);
        if (!it->open)
            finished.splice(finished.end(), m_connections, it);
        it = next;
    }
}

void ConnectionPool::ShutDown(ConnectionKind kind)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Connection& connection : m_connections)
        if (connection.open && connection.kind == kind)
            shutdown(connection.fd, SHUT_RDWR);
}

void ConnectionPool::ShutDownAll()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    for (Connection& connection : m_connections)
        if (connection.open)
            shutdown(connection.fd, SHUT_RDWR);
}

void ConnectionPool::JoinAll()
{
    std::list<Connection> all;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        all.swap(m_connections);
    }
    for (Connection& connection : all)
        if (connection.thread.joinable())
            connection.thread.join();
}

} // namespace ovraemu
