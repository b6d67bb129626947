#include "commandassembler.h"

namespace ovraemu {

std::vector<ReceivedCommand> CommandAssembler::Feed(const std::vector<uint8_t>& bytes)
{
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    std::vector<ReceivedCommand> commands;
    while (!buffer_.empty()) {
        if (buffer_[0] != kCommandStart) {
            ReceivedCommand garbage;
            garbage.valid = false;
            garbage.payload.swap(buffer_);
            commands.push_back(std::move(garbage));
            break;
        }
        const auto header = DecodeHeader(buffer_);
        if (!header || buffer_.size() < kScanHeaderSize + header->dataSize)
            break;
        const auto end = buffer_.begin() + static_cast<long>(kScanHeaderSize + header->dataSize);
        ReceivedCommand command;
        command.header = *header;
        command.payload.assign(buffer_.begin() + kScanHeaderSize, end);
        buffer_.erase(buffer_.begin(), end);
        commands.push_back(std::move(command));
    }
    return commands;
}

} // namespace ovraemu
