// The emulator's control channel: a Unix stream socket carrying one command
// per line and one reply line per command.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ovraemu {

class ControlServer
{
public:
    using Handler = std::function<std::string(const std::string& line)>;

    // Listens on `path` (an old socket file there is replaced); throws on failure.
    explicit ControlServer(const std::string& path);
    ~ControlServer();
    ControlServer(const ControlServer&) = delete;
    ControlServer& operator=(const ControlServer&) = delete;

    // Serves connections for at most `timeoutMs` milliseconds; every complete
    // line goes to `handler`.
    void ServeFor(int timeoutMs, const Handler& handler);

private:
    struct Connection {
        int fd;
        std::string pending; // bytes received after the last complete line
    };
    void Accept();
    bool ReadFrom(Connection& connection, const Handler& handler);

    std::string path_;
    int listener_ = -1;
    std::vector<Connection> connections_;
};

// Sends one command and returns the reply line; no value when the emulator
// cannot be reached or does not answer within `timeoutMs`.
std::optional<std::string> SendControlCommand(const std::string& socketPath, const std::string& command,
                                              int timeoutMs = 5000);

} // namespace ovraemu
