// The attribute requests of port 5000: an XML "getAttribute" method call and the XML
// reply the scanner sends back, each behind a 4-byte big-endian length.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ovraemu {

struct AttributeQuery {
    int requestId = 0;
    std::string objName;
    std::string attribName;
};

// Reads requestID and the objName and attribName arguments of the method call;
// missing parts stay empty (0).
AttributeQuery ParseAttributeQuery(const std::string& xml);

// The value the scanner holds for an attribute, nullopt for one it does not know.
std::optional<std::string> DefaultAttributeValue(const std::string& objName, const std::string& attribName);

// The XML reply to a query: status 0 with the value, status 1 without one.
std::string AttributeReplyText(const AttributeQuery& query, const std::optional<std::string>& value);

// The text with spaces appended up to `bytes` (unchanged when already that long).
std::string PaddedTo(std::string text, size_t bytes);

// 4-byte big-endian length prefix.
std::string LengthPrefix(uint32_t length);
uint32_t ReadLengthPrefix(const std::string& fourBytes);

} // namespace ovraemu
