// Port 5000: length-prefixed attribute requests, answered in order until the peer
// closes.
#include "attributes.h"
#include "scannerstate.h"
#include "socketio.h"

#include <algorithm>
#include <thread>

namespace ovraemu {

namespace {

constexpr std::chrono::seconds kIdleLimit(30);
constexpr std::chrono::seconds kRequestTimeout(10);
constexpr std::chrono::milliseconds kPartPause(20);
constexpr uint32_t kLargestRequest = 1024 * 1024;

struct Reply {
    std::string text;
    int parts = 1;
};

// Builds the reply and records the request; call with the mutex held.
Reply ReplyLocked(NetScanner::State& state, uint32_t announced, const std::string& text)
{
    const AttributeQuery query = ParseAttributeQuery(text);
    const auto scripted = state.attributeReplies.find({query.objName, query.attribName});
    std::string reply = scripted != state.attributeReplies.end()
                            ? scripted->second
                            : AttributeReplyText(query, DefaultAttributeValue(query.objName, query.attribName));
    reply = PaddedTo(std::move(reply), state.attributeReplyBytes);
    AttributeRequestRecord record;
    record.announcedLength = announced;
    record.text = text;
    record.requestId = query.requestId;
    record.objName = query.objName;
    record.attribName = query.attribName;
    record.answerBytes = reply.size();
    state.attributeRequests.push_back(record);
    state.changed.notify_all();
    return {reply, std::max(state.attributeReplyParts, 1)};
}

bool SendInParts(NetScanner::State& state, int fd, const std::string& message, int parts)
{
    const size_t partSize = std::max<size_t>(1, (message.size() + size_t(parts) - 1) / size_t(parts));
    for (size_t offset = 0; offset < message.size(); offset += partSize) {
        if (offset > 0 && !PauseUnlessStopped(state.stop.Fd(), kPartPause))
            return false;
        if (!SendAll(fd, message.data() + offset, std::min(partSize, message.size() - offset)))
            return false;
    }
    return true;
}

} // namespace

void ServeAttributes(NetScanner::State& state, int fd)
{
    for (;;) {
        std::string prefix;
        if (ReadExactly(fd, state.stop.Fd(), prefix, 4, kIdleLimit) != IoResult::Ok)
            return;
        const uint32_t announced = ReadLengthPrefix(prefix);
        std::string text;
        if (announced > kLargestRequest
            || ReadExactly(fd, state.stop.Fd(), text, announced, kRequestTimeout) != IoResult::Ok) {
            state.Emit("attribute request of " + std::to_string(announced) + " bytes incomplete: connection closed");
            return;
        }
        Reply reply;
        {
            std::lock_guard<std::mutex> lock(state.mutex);
            reply = ReplyLocked(state, announced, text);
        }
        const AttributeQuery query = ParseAttributeQuery(text);
        state.Emit("attribute request " + std::to_string(query.requestId) + " " + query.objName + "/" + query.attribName
                   + " -> " + std::to_string(reply.text.size()) + " bytes"
                   + (reply.parts > 1 ? " in " + std::to_string(reply.parts) + " parts" : ""));
        if (!SendInParts(state, fd, LengthPrefix(uint32_t(reply.text.size())) + reply.text, reply.parts))
            return;
    }
}

} // namespace ovraemu
