// Cuts the bytes a scanner receives on its bulk OUT endpoint into commands:
// an 8-byte header followed by dataSize bytes. Commands may arrive in pieces
// or several in one transfer. Not thread-safe.
#pragma once

#include "ovraemu/scannerprotocol.h"

#include <vector>

namespace ovraemu {

class CommandAssembler
{
public:
    // Appends bytes; returns the commands they complete. Bytes that cannot
    // start a command header come back as one command marked not valid.
    std::vector<ReceivedCommand> Feed(const std::vector<uint8_t>& bytes);
    // Forgets a partly received command.
    void Clear() { buffer_.clear(); }
    size_t PendingBytes() const { return buffer_.size(); }

private:
    std::vector<uint8_t> buffer_;
};

} // namespace ovraemu
