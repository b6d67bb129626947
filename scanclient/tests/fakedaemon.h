// A stand-in for the scan daemon in tests: listens on 127.0.0.1 (a free port), reads
// commands as the daemon does (code, then the request record) and answers each with
// canned bytes. CMD_DELETE_FILE removes the named file, as the daemon does.
#pragma once

#include "ovrascanprotocol.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace clienttest {

template <typename T>
std::string Bytes(const T& record)
{
    return std::string(reinterpret_cast<const char*>(&record), sizeof record);
}

template <typename T>
T RecordFrom(const std::string& bytes)
{
    T record{};
    memcpy(&record, bytes.data(), std::min(bytes.size(), sizeof record));
    return record;
}

struct ReceivedCommand {
    int32_t code = -1;
    std::string request;
};

class FakeDaemon
{
public:
    // What to send back for one request record; an empty string sends nothing.
    using Handler = std::function<std::string(const std::string& request)>;

    FakeDaemon();
    ~FakeDaemon();
    FakeDaemon(const FakeDaemon&) = delete;
    FakeDaemon& operator=(const FakeDaemon&) = delete;

    bool Start();
    void Stop();
    uint16_t Port() const { return m_port; }

    void On(scanCommandType command, Handler handler);
    // Answers with fixed bytes.
    void Reply(scanCommandType command, const std::string& bytes);
    // Closes the connection when this command arrives.
    void HangUpOn(scanCommandType command);

    std::vector<ReceivedCommand> Commands() const;
    std::vector<int32_t> Codes() const;
    std::vector<std::string> DeleteRequests() const;
    bool WaitForCommands(size_t count, std::chrono::milliseconds timeout) const;

private:
    void Serve();
    void ServeConnection(int fd);

    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    uint16_t m_port = 0;
    std::thread m_thread;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::map<int32_t, Handler> m_handlers;
    std::vector<int32_t> m_hangUps;
    std::vector<ReceivedCommand> m_commands;
};

// Record streams of scans as the daemon's data process sends them, with the page files
// written where the records say. Pages go to "<base>_<n>.tmp".
struct PageScript {
    std::string baseName;
    std::vector<std::string> pages;
    size_t blockSize = 1000;
};

// TCPScanStartRes {0, data fd, base} followed by the records of every page and the
// closing record {5, 0, n, 1}; the page files are written before it returns.
std::string NetScanReply(const PageScript& script, int result = OVRA_STATUS_GOOD);
// The records only (begin of page, data, ..., end of data).
std::string NetRecords(const PageScript& script);
// USBScanStartRes {0, base}, then begin of scan, per page begin of page, data and end
// of page, and the closing record {1, n, 0, 5}; the page files are written.
std::string UsbScanReply(const PageScript& script);

TCPRecordRes NetRecord(int result, int bufferLen, int fileIndex, int st);
USBScanRecordRes UsbRecord(int st, int fileIndex, int dataSize, int result);

// A device as USB_FIND_DEV lists it (an Ovra K246 MFP), and the reply listing devices.
USBFindDevRes FoundUsbDevice(int fd, int vid, int pid, const std::string& serial);
std::string FindDevReply(const std::vector<USBFindDevRes>& devices);
// A sysfs device folder: one file of one line for each name and value.
void WriteSysfsDevice(const std::string& folder, const std::vector<std::pair<std::string, std::string>>& files);
// A loopback port nobody listens on right now.
uint16_t UnusedPort();

bool WritePageFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

} // namespace clienttest
