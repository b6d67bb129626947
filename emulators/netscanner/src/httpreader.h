// Reads one HTTP request from a connection as the scanner's web server takes it.
#pragma once

#include "ovraemu/netscanrecords.h"

#include <chrono>
#include <optional>
#include <string>

namespace ovraemu {

// Fills method, path, version and headers from the request head (everything before the
// empty line). False when the request line is not "METHOD PATH VERSION".
bool ParseRequestHead(const std::string& head, HttpRequestRecord& request);

// Reads the head up to the first empty line (CR LF CR LF), then Content-Length bytes of
// body. Without a Content-Length, whatever arrives with the request within a short
// settle time is kept as `trailing`. nullopt when the peer closes early, the request is
// malformed or too large, `timeout` passes, or stopFd turns readable.
std::optional<HttpRequestRecord> ReadHttpRequest(int fd, int stopFd, std::chrono::milliseconds timeout);

} // namespace ovraemu
