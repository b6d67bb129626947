// Network scanners without a network. The targets link the code under test with
// -Wl,--wrap=connect, so its connect() lands in __wrap_connect: an IPv4 connection
// to a port that has an answer set gets a socket pair in place of the socket, whose
// far end already holds the answer and is shut for writing (the code reads the
// answer, then the end of the stream). Every other IPv4 connection is refused.
// Nothing leaves the process.
#pragma once

#include <cstdint>
#include <string>

namespace ovrafuzz {

// What a connection to the port reads (each connection reads it from the start).
void SetPortAnswer(uint16_t port, std::string bytes);
// Forgets the answers and closes the far ends of the connections made so far.
void ClearPeers();

// A socket pair holding the bytes to read: returns the near end and keeps the far
// end (shut for writing, taking whatever is written) until ClearPeers().
int ServedSocket(const std::string& bytes);

} // namespace ovrafuzz
