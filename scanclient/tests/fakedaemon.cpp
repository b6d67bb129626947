#include "fakedaemon.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace clienttest {

namespace {

bool ReadAll(int fd, std::string& out, size_t n)
{
    out.assign(n, '\0');
    size_t got = 0;
    while (got < n) {
        const ssize_t r = recv(fd, &out[got], n - got, 0);
        if (r <= 0)
            return false;
        got += size_t(r);
    }
    return true;
}

void SendAll(int fd, const std::string& bytes)
{
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        sent += size_t(n);
    }
}

std::string PagePath(const std::string& base, int page) { return base + "_" + std::to_string(page) + ".tmp"; }

} // namespace

FakeDaemon::FakeDaemon()
{
    On(CMD_DELETE_FILE, [](const std::string& request) {
        const CmdDeleteFileReq delete_ = RecordFrom<CmdDeleteFileReq>(request);
        std::string path(delete_.fileName, strnlen(delete_.fileName, sizeof delete_.fileName));
        remove(path.c_str());
        return std::string();
    });
}

FakeDaemon::~FakeDaemon() { Stop(); }

bool FakeDaemon::Start()
{
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof local;
    if (m_listen < 0 || bind(m_listen, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0
        || listen(m_listen, 4) != 0 || getsockname(m_listen, reinterpret_cast<sockaddr*>(&local), &length) != 0
        || pipe(m_wake) != 0)
        return false;
    m_port = ntohs(local.sin_port);
    m_thread = std::thread(&FakeDaemon::Serve, this);
    return true;
}

void FakeDaemon::Stop()
{
    if (m_thread.joinable()) {
        [[maybe_unused]] ssize_t n = write(m_wake[1], "x", 1);
        m_thread.join();
    }
    for (int fd : {m_listen, m_wake[0], m_wake[1]})
        if (fd >= 0)
            close(fd);
    m_listen = m_wake[0] = m_wake[1] = -1;
}

void FakeDaemon::On(scanCommandType command, Handler handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_handlers[command] = std::move(handler);
}

void FakeDaemon::Reply(scanCommandType command, const std::string& bytes)
{
    On(command, [bytes](const std::string&) { return bytes; });
}

void FakeDaemon::HangUpOn(scanCommandType command)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_hangUps.push_back(command);
}

std::vector<ReceivedCommand> FakeDaemon::Commands() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_commands;
}

std::vector<int32_t> FakeDaemon::Codes() const
{
    std::vector<int32_t> codes;
    for (const ReceivedCommand& command : Commands())
        codes.push_back(command.code);
    return codes;
}

std::vector<std::string> FakeDaemon::DeleteRequests() const
{
    std::vector<std::string> paths;
    for (const ReceivedCommand& command : Commands())
        if (command.code == CMD_DELETE_FILE) {
            const CmdDeleteFileReq request = RecordFrom<CmdDeleteFileReq>(command.request);
            paths.emplace_back(request.fileName, strnlen(request.fileName, sizeof request.fileName));
        }
    return paths;
}

bool FakeDaemon::WaitForCommands(size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_commands.size() >= count; });
}

void FakeDaemon::Serve()
{
    for (;;) {
        pollfd fds[2] = {{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN))
            return;
        const int fd = accept(m_listen, nullptr, nullptr);
        if (fd >= 0)
            ServeConnection(fd);
    }
}

void FakeDaemon::ServeConnection(int fd)
{
    for (;;) {
        pollfd fds[2] = {{fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0 || (fds[1].revents & POLLIN))
            break;
        std::string code;
        if (!ReadAll(fd, code, 4))
            break;
        ReceivedCommand command;
        memcpy(&command.code, code.data(), 4);
        if (!ReadAll(fd, command.request, ovra_scan_request_size(command.code)))
            break;
        Handler handler;
        bool hangUp = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_commands.push_back(command);
            m_changed.notify_all();
            const auto it = m_handlers.find(command.code);
            if (it != m_handlers.end())
                handler = it->second;
            hangUp = std::find(m_hangUps.begin(), m_hangUps.end(), command.code) != m_hangUps.end();
        }
        if (hangUp)
            break;
        if (handler)
            SendAll(fd, handler(command.request));
    }
    close(fd);
}

TCPRecordRes NetRecord(int result, int bufferLen, int fileIndex, int st)
{
    TCPRecordRes record{};
    record.result = result;
    record.bufferLen = bufferLen;
    record.fileIndex = fileIndex;
    record.st = ScanStatus(st);
    return record;
}

USBScanRecordRes UsbRecord(int st, int fileIndex, int dataSize, int result)
{
    USBScanRecordRes record{};
    record.st = ScanStatus(st);
    record.fileIndex = fileIndex;
    record.dataSize = dataSize;
    record.result = result;
    return record;
}

USBFindDevRes FoundUsbDevice(int fd, int vid, int pid, const std::string& serial)
{
    USBFindDevRes found{};
    found.fd = fd;
    found.vid = vid;
    found.pid = pid;
    snprintf(found.SerialNumber, sizeof found.SerialNumber, "%s", serial.c_str());
    snprintf(found.Product, sizeof found.Product, "K246 MFP");
    snprintf(found.Manufacturer, sizeof found.Manufacturer, "Ovra");
    return found;
}

std::string FindDevReply(const std::vector<USBFindDevRes>& devices)
{
    std::string reply = Bytes(int32_t(devices.size()));
    for (const USBFindDevRes& device : devices)
        reply += Bytes(device);
    return reply;
}

void WriteSysfsDevice(const std::string& folder, const std::vector<std::pair<std::string, std::string>>& files)
{
    std::filesystem::create_directories(folder);
    for (const auto& [name, value] : files)
        std::ofstream(folder + "/" + name) << value << "\n";
}

uint16_t UnusedPort()
{
    FakeDaemon daemon;
    if (!daemon.Start())
        return 0;
    return daemon.Port(); // closed when the daemon goes
}

bool WritePageFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    return bool(out);
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

bool FileExists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

std::string NetRecords(const PageScript& script)
{
    std::string records;
    int fileIndex = 0;
    for (size_t page = 0; page < script.pages.size(); ++page) {
        WritePageFile(PagePath(script.baseName, int(page)), script.pages[page]);
        records += Bytes(NetRecord(0, 0, fileIndex, SCAN_STATUS_BEGIN_OF_PAGE));
        ++fileIndex;
        const std::string& bytes = script.pages[page];
        for (size_t at = 0; at < bytes.size(); at += script.blockSize)
            records += Bytes(NetRecord(0, int(std::min(script.blockSize, bytes.size() - at)), fileIndex, 0));
    }
    return records + Bytes(NetRecord(OVRA_STATUS_EOF, 0, fileIndex, SCAN_STATUS_END_OF_DATA));
}

std::string NetScanReply(const PageScript& script, int result)
{
    TCPScanStartRes start{};
    start.result = result;
    start.socketDataFd = 7;
    snprintf(start.fileName, sizeof start.fileName, "%s", script.baseName.c_str());
    return Bytes(start) + (result == OVRA_STATUS_GOOD ? NetRecords(script) : std::string());
}

std::string UsbScanReply(const PageScript& script)
{
    USBScanStartRes start{};
    snprintf(start.fileName, sizeof start.fileName, "%s", script.baseName.c_str());
    std::string reply = Bytes(start) + Bytes(UsbRecord(SCAN_STATUS_BEGIN_OF_SCAN, 0, 0, 0));
    int fileIndex = 0;
    for (size_t page = 0; page < script.pages.size(); ++page) {
        WritePageFile(PagePath(script.baseName, int(page)), script.pages[page]);
        reply += Bytes(UsbRecord(SCAN_STATUS_BEGIN_OF_PAGE, fileIndex, 0, 0));
        ++fileIndex;
        const std::string& bytes = script.pages[page];
        for (size_t at = 0; at < bytes.size(); at += script.blockSize)
            reply += Bytes(UsbRecord(0, fileIndex, int(std::min(script.blockSize, bytes.size() - at)), 0));
        reply += Bytes(UsbRecord(SCAN_STATUS_END_OF_PAGE, fileIndex, 0, 0));
    }
    return reply + Bytes(UsbRecord(SCAN_STATUS_END_OF_DATA, fileIndex, 0, OVRA_STATUS_EOF));
}

} // namespace clienttest
