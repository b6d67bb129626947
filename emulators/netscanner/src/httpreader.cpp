#include "httpreader.h"

#include "socketio.h"

#include <cstdlib>

namespace ovraemu {

namespace {

constexpr size_t kMaxHead = 64 * 1024;
constexpr size_t kMaxBody = 1024 * 1024;
constexpr std::chrono::milliseconds kSettleTime(30);
const std::string kHeadEnd = "\r\n\r\n";

std::string Trimmed(const std::string& text)
{
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return std::string();
    const size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

bool ParseRequestLine(const std::string& line, HttpRequestRecord& request)
{
    const size_t first = line.find(' ');
    const size_t second = first == std::string::npos ? first : line.find(' ', first + 1);
    if (second == std::string::npos || first == 0 || second == first + 1 || second + 1 >= line.size())
        return false;
    request.method = line.substr(0, first);
    request.path = line.substr(first + 1, second - first - 1);
    request.version = line.substr(second + 1);
    return true;
}

// Reads until the head is complete; `buffer` may then hold bytes beyond it.
bool ReadHead(int fd, int stopFd, std::string& buffer, size_t& headEnd, std::chrono::milliseconds timeout)
{
    while ((headEnd = buffer.find(kHeadEnd)) == std::string::npos) {
        if (buffer.size() > kMaxHead || ReadSome(fd, stopFd, buffer, kMaxHead, timeout) != IoResult::Ok)
            return false;
    }
    return true;
}

size_t ContentLength(const HttpRequestRecord& request, bool& valid)
{
    valid = true;
    const auto value = request.Header("Content-Length");
    if (!value)
        return 0;
    char* end = nullptr;
    const unsigned long length = strtoul(value->c_str(), &end, 10);
    valid = end != value->c_str() && *end == '\0' && length <= kMaxBody;
    return valid ? size_t(length) : 0;
}

} // namespace

bool ParseRequestHead(const std::string& head, HttpRequestRecord& request)
{
    size_t lineEnd = head.find("\r\n");
    if (!ParseRequestLine(head.substr(0, lineEnd), request))
        return false;
    while (lineEnd != std::string::npos) {
        const size_t start = lineEnd + 2;
        lineEnd = head.find("\r\n", start);
        const std::string line = head.substr(start, lineEnd == std::string::npos ? std::string::npos : lineEnd - start);
        const size_t colon = line.find(':');
        if (colon == std::string::npos)
            return false;
        request.headers.emplace_back(line.substr(0, colon), Trimmed(line.substr(colon + 1)));
    }
    return true;
}

std::optional<HttpRequestRecord> ReadHttpRequest(int fd, int stopFd, std::chrono::milliseconds timeout)
{
    std::string buffer;
    size_t headEnd = 0;
    if (!ReadHead(fd, stopFd, buffer, headEnd, timeout))
        return std::nullopt;
    HttpRequestRecord request;
    if (!ParseRequestHead(buffer.substr(0, headEnd), request))
        return std::nullopt;
    bool validLength = true;
    const size_t length = ContentLength(request, validLength);
    if (!validLength)
        return std::nullopt;
    const size_t bodyStart = headEnd + kHeadEnd.size();
    if (buffer.size() < bodyStart + length
        && ReadExactly(fd, stopFd, buffer, bodyStart + length - buffer.size(), timeout) != IoResult::Ok)
        return std::nullopt;
    if (!request.Header("Content-Length")) {
        // Whatever was sent with the request arrives within the settle time; a closed
        // or quiet connection simply ends it.
        while (ReadSome(fd, stopFd, buffer, kMaxHead, kSettleTime) == IoResult::Ok && buffer.size() < kMaxHead) {
        }
    }
    request.body = buffer.substr(bodyStart, length);
    request.trailing = buffer.substr(bodyStart + length);
    request.raw = buffer;
    return request;
}

} // namespace ovraemu
