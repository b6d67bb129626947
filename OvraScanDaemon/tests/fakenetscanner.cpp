#include "fakenetscanner.h"

#include "ovrascannernet.h"
#include "testsupport.h"

#include <arpa/inet.h>
#include <chrono>
#include <cstring>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

enum {
    kHttp,
    kData,
    kOsl
};

int listenOn(const std::string& ip, uint16_t port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    struct sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    inet_pton(AF_INET, ip.c_str(), &address.sin_addr);
    if (bind(fd, reinterpret_cast<struct sockaddr*>(&address), sizeof(address)) != 0 || listen(fd, 64) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool readable(int fd, int ms)
{
    struct pollfd entry = {fd, POLLIN, 0};
    return poll(&entry, 1, ms) > 0;
}

// Reads until the header end and Content-Length body bytes; then whatever
// else arrives shortly (the capabilities request carries lines after its end).
std::string readHttpRequest(int fd)
{
    std::string text;
    char buf[4096];
    size_t need = std::string::npos;
    while (readable(fd, need == std::string::npos || text.size() < need ? 3000 : 100)) {
        ssize_t n = recv(fd, buf, sizeof(buf), 0);
        if (n <= 0)
            break;
        text.append(buf, static_cast<size_t>(n));
        size_t end = text.find("\r\n\r\n");
        if (end != std::string::npos && need == std::string::npos) {
            size_t length = 0;
            size_t at = text.find("Content-Length: ");
            if (at != std::string::npos && at < end)
                length = static_cast<size_t>(atol(text.c_str() + at + 16));
            need = end + 4 + length;
        }
    }
    return text;
}

// Sends and closes gracefully, so that the peer reads everything.
void answerAndClose(int fd, const std::string& answer)
{
    sendBytes(fd, answer.data(), answer.size());
    shutdown(fd, SHUT_WR);
    char sink[256];
    while (readable(fd, 2000) && recv(fd, sink, sizeof(sink), 0) > 0) {
    }
    close(fd);
}

std::string lengthField(size_t n, bool zeroPadded)
{
    char digits[8];
    snprintf(digits, sizeof(digits), zeroPadded ? "%06zu" : "%6zu", n);
    return digits;
}

} // namespace

std::string blockHeader(size_t n, bool zeroPadded) { return "DATA  " + lengthField(n, zeroPadded) + "     \n"; }

FakeNetScanner::FakeNetScanner(std::string ip, stNetScanConfig config)
    : m_ip(std::move(ip)), m_config(std::move(config))
{
}

FakeNetScanner::~FakeNetScanner() { stop(); }

bool FakeNetScanner::start()
{
    const uint16_t ports[] = {OVRA_NET_HTTP_PORT, OVRA_NET_DATA_PORT, OVRA_NET_OSL_PORT};
    for (int kind = kHttp; kind <= kOsl; ++kind) {
        int fd = listenOn(m_ip, ports[kind]);
        if (fd < 0) {
            stop();
            return false;
        }
        m_listenFds.push_back(fd);
        m_threads.emplace_back([this, fd, kind] { acceptLoop(fd, kind); });
    }
    return true;
}

void FakeNetScanner::stop()
{
    m_stop = true;
    for (std::thread& t : m_threads)
        t.join();
    m_threads.clear();
    for (int fd : m_listenFds)
        close(fd);
    m_listenFds.clear();
    std::vector<std::thread> workers;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        workers.swap(m_workers);
    }
    for (std::thread& t : workers)
        t.join();
}

void FakeNetScanner::acceptLoop(int listenFd, int kind)
{
    while (!m_stop) {
        if (!readable(listenFd, 100))
            continue;
        int fd = accept(listenFd, nullptr, nullptr);
        if (fd < 0)
            continue;
        std::lock_guard<std::mutex> lock(m_mutex);
        m_workers.emplace_back([this, fd, kind] {
            if (kind == kHttp)
                serveHttp(fd);
            else if (kind == kData)
                serveData(fd);
            else
                serveOsl(fd);
        });
    }
}

void FakeNetScanner::serveHttp(int fd)
{
    std::string request = readHttpRequest(fd);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_http.push_back(request);
    }
    if (request.find("GET /netscan/capabilites") == 0)
        answerAndClose(fd, m_config.capabilities);
    else if (request.find("adfStatus.html") != std::string::npos)
        answerAndClose(fd, m_config.adfAnswer);
    else if (request.find("SCANTYPE=4") != std::string::npos)
        answerAndClose(fd, m_config.abortAnswer);
    else
        answerAndClose(fd, m_config.jobAnswer);
}

std::vector<unsigned char> FakeNetScanner::page(int number) const
{
    return pageImage(m_config.seed, number, m_config.pageSize);
}

void FakeNetScanner::serveData(int fd)
{
    ++m_dataConnections;
    std::string jobHeader = "JOBHEADR" + lengthField(12, true) + "      ";
    std::string stream = jobHeader + "job-settings";
    const std::string pageHeaderData = "page-header";
    for (int p = 0; p < m_config.pages; ++p) {
        if (p > 0 || !m_config.firstBlockIsData)
            stream += std::string(newFileFlag) + "PAGE  " + lengthField(pageHeaderData.size(), false) + "     \n"
                      + pageHeaderData;
        std::vector<unsigned char> image = page(p);
        for (size_t at = 0; at < image.size(); at += m_config.blockSize) {
            size_t n = std::min(m_config.blockSize, image.size() - at);
            stream += blockHeader(n, (at / m_config.blockSize) % 2 == 0);
            stream.append(reinterpret_cast<const char*>(image.data() + at), n);
            if (m_config.holdMidScan && p == 0 && at == 0) {
                sendBytes(fd, stream.data(), stream.size());
                stream.clear();
                char sink[256];
                while (!m_stop && !(readable(fd, 100) && recv(fd, sink, sizeof(sink), 0) <= 0)) {
                }
                close(fd);
                return;
            }
        }
    }
    stream += jobDoneFlag;
    answerAndClose(fd, stream);
}

void FakeNetScanner::serveOsl(int fd)
{
    unsigned char lengthBytes[4];
    std::string text;
    if (recvExact(fd, lengthBytes, 4, 3000)) {
        uint32_t n = (uint32_t(lengthBytes[0]) << 24) | (uint32_t(lengthBytes[1]) << 16)
                     | (uint32_t(lengthBytes[2]) << 8) | lengthBytes[3];
        text.resize(n);
        recvExact(fd, &text[0], n, 3000);
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_osl.push_back(text);
    }
    const std::string& reply = m_config.oslReply;
    uint32_t announced =
        m_config.oslAnnounced >= 0 ? static_cast<uint32_t>(m_config.oslAnnounced) : static_cast<uint32_t>(reply.size());
    unsigned char head[4] = {static_cast<unsigned char>(announced >> 24), static_cast<unsigned char>(announced >> 16),
                             static_cast<unsigned char>(announced >> 8), static_cast<unsigned char>(announced)};
    sendBytes(fd, head, 4);
    size_t part = (reply.size() + m_config.oslParts - 1) / m_config.oslParts;
    for (size_t at = 0; at < reply.size(); at += part) {
        sendBytes(fd, reply.data() + at, std::min(part, reply.size() - at));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    answerAndClose(fd, "");
}

std::vector<std::string> FakeNetScanner::httpRequests()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_http;
}

std::vector<std::string> FakeNetScanner::oslRequests()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_osl;
}
