#include "scannertestclient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace scantest {

const char* const kDaemonFixedAddress = "192.168.100.200";

namespace {

const std::string kNewFile = std::string("NEWFILE") + std::string(10, ' ') + "\n";
const std::string kJobDone = std::string("JOBDONE") + std::string(10, ' ') + "\n";

std::string DepthValue(int bitDepth) { return bitDepth == 1 ? "other" : bitDepth == 8 ? "8" : "24"; }

} // namespace

Fields DaemonJobForm(const JobSettings& s)
{
    return {{"SCANTYPE", "2"},
            {"ADVCONTRAST", std::to_string(s.contrast)},
            {"BACKGROUNDREMOVAL", s.backgroundRemoval ? std::to_string(s.backgroundRemovalParam) : ""},
            {"COMPRESSION", "JPEG"},
            {"CONTRAST", "MIXED"},
            {"DARKNESS", std::to_string(s.brightness)},
            {"DEPTH", DepthValue(s.bitDepth)},
            {"DOCSOURCE", "0"},
            {"EDGETOEDGE", "0"},
            {"IPADDRESS", kDaemonFixedAddress},
            {"JPEGQUALITY", s.jpeg ? "70" : ""},
            {"KEEPALIVE", "0"},
            {"NAME", s.login},
            {"ORIENTATION", "PORTRAIT"},
            {"RESOLUTION", std::to_string(s.resolution)},
            {"SCANSOURCE", s.feeder ? "0" : "7"},
            {"SHARPNESS", "0"},
            {"START_NOW", "1"},
            {"TCPPORT", "2080"},
            {"TYPE", s.jpeg ? "JPEG" : "RAW"},
            {"SINGLEPAGE", s.feeder && !s.multiPage ? "TRUE" : ""},
            {"CUSTOM_WIDTH", std::to_string(s.width)},
            {"CUSTOM_HEIGHT", std::to_string(s.height)},
            {"OFFSETX", std::to_string(s.xStart)},
            {"OFFSETY", std::to_string(s.yStart)}};
}

std::string FormBody(const Fields& fields)
{
    std::string body;
    for (const auto& [key, value] : fields)
        body += key + "=" + value + "&";
    return body;
}

std::string PostRequest(const std::string& path, const std::string& host, const std::string& body)
{
    return "POST " + path
           + " HTTP/1.1\r\nConnection: Keep-Alive\r\nContent-Type: application/x-www-form-urlencoded\r\n"
             "Accept: text/html, image/gif, image/jpeg, *;q=.2, */*; q=.2\r\nUser-Agent: HttpScanConnection\r\n"
           + "Content-Length: " + std::to_string(body.size()) + "\r\n" + "Host: " + host + "\r\n" + "\r\n" + body;
}

std::string JobPostRequest(const Fields& fields)
{
    return PostRequest("/netscan/post", kDaemonFixedAddress, FormBody(fields));
}

std::string AbortRequest(const std::string& host) { return PostRequest("/netscan/post", host, "SCANTYPE=4"); }

std::string CapabilitiesRequest(const std::string& host)
{
    return "GET /netscan/capabilites HTTP/1.1\r\nCache-Control: no-cache\r\nPragma: no-cache\r\n"
           "User-Agent: Jav/1.6.0_18\r\nHost: "
           + host
           + "\r\n\r\nConnection: Keep-Alive\r\nAccept: text/html, image/gif, image/jpeg, *;q=.2, */*; q=.2\r\n"
             "Content-Type: application/x-www-form-urlencoded\r\n\n";
}

std::string FeederStatusRequest(const std::string& host)
{
    return PostRequest("/cgi-bin/dynamic/printer/netscan/adfStatus.html", host, "GETADFSTATUS");
}

std::string AttributeRequestText(int requestId, const std::string& objName, const std::string& attribName)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<method name=\"getAttribute\" requestID=\""
           + std::to_string(requestId) + "\">\r\n  <arg name=\"objName\">" + objName
           + "</arg>\r\n  <arg name=\"attribName\">" + attribName + "</arg>\r\n</method>\r\n";
}

std::string AttributeRequestMessage(const std::string& text)
{
    const uint32_t n = uint32_t(text.size());
    return std::string{char(n >> 24), char(n >> 16), char(n >> 8), char(n)} + text;
}

int Connect(const std::string& address, uint16_t port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const timeval limit = {5, 0};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    inet_pton(AF_INET, address.c_str(), &peer.sin_addr);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

bool SendText(int fd, const std::string& text)
{
    size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += size_t(n);
    }
    return true;
}

std::string ReadToEnd(int fd)
{
    std::string text;
    char buffer[8192];
    ssize_t n;
    while ((n = recv(fd, buffer, sizeof buffer, 0)) > 0)
        text.append(buffer, size_t(n));
    return text;
}

bool ReadExactly(int fd, std::string& out, size_t n)
{
    std::string part(n, '\0');
    size_t got = 0;
    while (got < n) {
        const ssize_t r = recv(fd, &part[got], n - got, 0);
        if (r <= 0)
            break;
        got += size_t(r);
    }
    out.append(part, 0, got);
    return got == n;
}

std::string Exchange(const std::string& address, uint16_t port, const std::string& request)
{
    const int fd = Connect(address, port);
    if (fd < 0)
        return std::string();
    std::string answer = SendText(fd, request) ? ReadToEnd(fd) : std::string();
    close(fd);
    return answer;
}

std::string AnswerBody(const std::string& answer)
{
    const size_t end = answer.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : answer.substr(end + 4);
}

int AnswerStatus(const std::string& answer) { return answer.rfind("HTTP/1.1 ", 0) == 0 ? atoi(answer.c_str() + 9) : 0; }

int SizeAt(const std::string& header, size_t offset) { return atoi(header.substr(offset, 6).c_str()); }

ReceivedJob ReadJob(int fd)
{
    ReceivedJob job;
    if (!ReadExactly(fd, job.jobHeader, 20) || !ReadExactly(fd, job.jobHeaderData, size_t(SizeAt(job.jobHeader, 8)))) {
        job.closedBetweenBlocks = true;
        return job;
    }
    for (;;) {
        std::string header;
        if (!ReadExactly(fd, header, 18)) {
            job.closedBetweenBlocks = true;
            return job;
        }
        if (header == kJobDone) {
            job.jobDone = true;
            return job;
        }
        std::string data;
        if (header == kNewFile) {
            ++job.newFileMarkers;
            std::string pageHeader;
            if (!ReadExactly(fd, pageHeader, 18) || !ReadExactly(fd, data, size_t(SizeAt(pageHeader, 6)))) {
                job.closedBetweenBlocks = true;
                return job;
            }
            job.pages.emplace_back();
            continue;
        }
        const size_t size = size_t(SizeAt(header, 6));
        job.blockSizes.push_back(size);
        if (job.pages.empty())
            job.pages.emplace_back();
        const bool complete = ReadExactly(fd, data, size);
        job.pages.back() += data;
        if (!complete) {
            job.closedMidBlock = true;
            return job;
        }
    }
}

ReceivedJob ReceiveJob(const std::string& address)
{
    const int fd = Connect(address, 2080);
    ReceivedJob job = ReadJob(fd); // without a connection: closed before the job header
    close(fd);
    return job;
}

} // namespace scantest
