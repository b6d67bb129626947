// One network printer of the family as the suite sees it on the wire: a UDP endpoint
// on a loopback address that answers the status request with the printer's status
// reply and records every datagram it receives. Plain C++ (POSIX sockets, std::thread).
#pragma once

#include "printerstatebuilder.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ovraemu {

// The port printers of the family answer status requests on.
constexpr uint16_t kNetPrinterPort = 9300;

// How the printer answers. The mode shapes every reply, status replies and the
// command handler's replies alike.
enum class NetReplyMode {
    Normal, // the reply as built
    Silent, // no reply at all (the datagram is still recorded)
    Short,  // only the first 1..7 bytes of the reply
    Garbage // random bytes that do not parse as a status reply
};

// Answers for datagrams other than the status request; an empty result sends nothing.
using NetCommandHandler = std::function<std::vector<uint8_t>(const std::vector<uint8_t>&)>;

// One emulated printer on one loopback address (127.0.0.0/8), UDP port 9300.
// Every member is thread-safe.
class NetPrinter
{
public:
    explicit NetPrinter(std::string address, EmuPrinterState state = {});
    ~NetPrinter();
    NetPrinter(const NetPrinter&) = delete;
    NetPrinter& operator=(const NetPrinter&) = delete;

    // Binds address:9300 (SO_REUSEADDR) and serves on its own thread. False, with a
    // reason in *error, when the address is not a loopback address, cannot be bound,
    // or the printer already runs.
    bool Start(std::string* error = nullptr);
    // Stops serving and closes the socket; returns once the thread has ended.
    void Stop();
    bool IsRunning() const;
    const std::string& Address() const;

    void SetState(const EmuPrinterState& state);
    EmuPrinterState State() const;
    void SetReplyMode(NetReplyMode mode);
    NetReplyMode ReplyMode() const;
    void SetCommandHandler(NetCommandHandler handler);

    // Valid status requests received since construction.
    int StatusRequests() const;
    // Every datagram received since construction, in order of arrival.
    std::vector<std::vector<uint8_t>> Received() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace ovraemu
