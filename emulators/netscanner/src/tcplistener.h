// Listening TCP sockets on one loopback address.
#pragma once

#include <cstdint>
#include <string>

namespace ovraemu {

// True for a dotted IPv4 address of 127.0.0.0/8.
bool IsLoopbackAddress(const std::string& address);

// A listening socket on address:port (SO_REUSEADDR), or -1 with a reason in *error.
int ListenOn(const std::string& address, uint16_t port, std::string* error);

// The next connection on a listening socket, -1 once stopFd turns readable.
int AcceptOrStop(int listenFd, int stopFd);

} // namespace ovraemu
