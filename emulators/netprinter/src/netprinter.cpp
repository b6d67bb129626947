#include "ovraemu/netprinter.h"

#include "replyshaper.h"
#include "statusrequest.h"
#include "udpsocket.h"
#include "wakepipe.h"

#include <poll.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <random>
#include <thread>

namespace ovraemu {

struct NetPrinter::Impl {
    explicit Impl(std::string addr, EmuPrinterState initial)
        : address(std::move(addr)), state(std::move(initial)), random(std::random_device{}())
    {
    }

    void Serve();
    void Handle(const std::vector<uint8_t>& datagram, const sockaddr_in& sender);
    std::vector<uint8_t> ReplyFor(const std::vector<uint8_t>& datagram);

    const std::string address;

    // Start and Stop; held while the thread is started or joined.
    std::mutex lifecycle;
    UdpSocket socket;
    std::unique_ptr<WakePipe> wake;
    std::thread thread;
    std::atomic<bool> running{false};

    // Everything the serving thread shares with callers.
    mutable std::mutex data;
    EmuPrinterState state;
    NetReplyMode mode = NetReplyMode::Normal;
    NetCommandHandler handler;
    int statusRequests = 0;
    std::vector<std::vector<uint8_t>> received;

    // Used by the serving thread only.
    std::mt19937 random;
};

void NetPrinter::Impl::Serve()
{
    pollfd fds[2] = {{socket.Fd(), POLLIN, 0}, {wake->ReadFd(), POLLIN, 0}};
    std::vector<uint8_t> datagram;
    sockaddr_in sender{};
    for (;;) {
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        while (socket.Receive(&datagram, &sender))
            Handle(datagram, sender);
    }
}

void NetPrinter::Impl::Handle(const std::vector<uint8_t>& datagram, const sockaddr_in& sender)
{
    const std::vector<uint8_t> reply = ReplyFor(datagram);
    NetReplyMode currentMode;
    {
        std::lock_guard<std::mutex> lock(data);
        currentMode = mode;
    }
    const std::vector<uint8_t> shaped = ShapeReply(currentMode, reply, random);
    if (!shaped.empty())
        socket.SendTo(shaped, sender);
}

// Records the datagram and builds the printer's answer (empty for none).
std::vector<uint8_t> NetPrinter::Impl::ReplyFor(const std::vector<uint8_t>& datagram)
{
    NetCommandHandler commandHandler;
    {
        std::lock_guard<std::mutex> lock(data);
        received.push_back(datagram);
        if (IsStatusRequest(datagram)) {
            ++statusRequests;
            return BuildUdpStatusReply(state);
        }
        commandHandler = handler;
    }
    // Called without the lock: a handler may well ask the printer for its state.
    return commandHandler ? commandHandler(datagram) : std::vector<uint8_t>();
}

NetPrinter::NetPrinter(std::string address, EmuPrinterState state)
    : m_impl(std::make_unique<Impl>(std::move(address), std::move(state)))
{
}

NetPrinter::~NetPrinter() { Stop(); }

bool NetPrinter::Start(std::string* error)
{
    std::lock_guard<std::mutex> lock(m_impl->lifecycle);
    if (m_impl->thread.joinable()) {
        if (error)
            *error = m_impl->address + " already serves";
        return false;
    }
    UdpSocket socket = UdpSocket::BindLoopback(m_impl->address, kNetPrinterPort, error);
    if (!socket.IsOpen())
        return false;
    auto wake = std::make_unique<WakePipe>();
    if (!wake->IsOpen()) {
        if (error)
            *error = "cannot create the wake-up pipe";
        return false;
    }
    m_impl->socket = std::move(socket);
    m_impl->wake = std::move(wake);
    m_impl->thread = std::thread([impl = m_impl.get()] { impl->Serve(); });
    m_impl->running = true;
    return true;
}

void NetPrinter::Stop()
{
    std::lock_guard<std::mutex> lock(m_impl->lifecycle);
    if (!m_impl->thread.joinable())
        return;
    m_impl->wake->Wake();
    m_impl->thread.join();
    m_impl->socket.Close();
    m_impl->wake.reset();
    m_impl->running = false;
}

bool NetPrinter::IsRunning() const { return m_impl->running; }

const std::string& NetPrinter::Address() const { return m_impl->address; }

void NetPrinter::SetState(const EmuPrinterState& state)
{
    std::lock_guard<std::mutex> lock(m_impl->data);
    m_impl->state = state;
}

EmuPrinterState NetPrinter::State() const
{
    std::lock_guard<std::mutex> lock(m_impl->data);
    return m_impl->state;
}

void NetPrinter::SetReplyMode(NetReplyMode mode)
{
    std::lock_guard<std::mutex> lock(m_impl->data);
    m_impl->mode = mode;
}

NetReplyMode NetPrinter::ReplyMode() const
{
    std::lock_guard<std::mutex> lock(m_impl->data);
    return m_impl->mode;
}

void NetPrinter::SetCommandHandler(NetCommandHandler handler)
{
    std::lock_guard<std::mutex> lock(m_impl->data);
    m_impl->handler = std::move(handler);
}

int NetPrinter::StatusRequests() const
{
    std::lock_guard<std::mutex> lock(m_impl->data);
    return m_impl->statusRequests;
}

std::vector<std::vector<uint8_t>> NetPrinter::Received() const
{
    std::lock_guard<std::mutex> lock(m_impl->data);
    return m_impl->received;
}

} // namespace ovraemu
