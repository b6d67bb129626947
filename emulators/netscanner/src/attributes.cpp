#include "attributes.h"

#include <cstdlib>

namespace ovraemu {

namespace {

std::string Between(const std::string& text, const std::string& open, const std::string& close)
{
    const size_t start = text.find(open);
    if (start == std::string::npos)
        return std::string();
    const size_t valueStart = start + open.size();
    const size_t end = text.find(close, valueStart);
    return end == std::string::npos ? std::string() : text.substr(valueStart, end - valueStart);
}

} // namespace

AttributeQuery ParseAttributeQuery(const std::string& xml)
{
    AttributeQuery query;
    query.requestId = atoi(Between(xml, "requestID=\"", "\"").c_str());
    query.objName = Between(xml, "<arg name=\"objName\">", "</arg>");
    query.attribName = Between(xml, "<arg name=\"attribName\">", "</arg>");
    return query;
}

std::optional<std::string> DefaultAttributeValue(const std::string& objName, const std::string& attribName)
{
    if (objName == "system" && attribName == "familyType")
        return std::string("K246");
    if (objName == "mfp.profileFactory" && attribName == "getList")
        return std::string("<profile id=\"1\" name=\"Colour 300 dpi\"/><profile id=\"2\" name=\"Grey 300 dpi\"/>");
    if (objName == "mfp.scanner" && attribName == "summary")
        return std::string("<scanner state=\"idle\" flatbed=\"true\" adf=\"true\" duplex=\"false\" maxres=\"1200\"/>");
    return std::nullopt;
}

std::string AttributeReplyText(const AttributeQuery& query, const std::optional<std::string>& value)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<response requestID=\"" + std::to_string(query.requestId)
           + "\" status=\"" + (value ? "0" : "1") + "\">\r\n  <attribute objName=\"" + query.objName
           + "\" attribName=\"" + query.attribName + "\">" + value.value_or(std::string())
           + "</attribute>\r\n</response>\r\n";
}

std::string PaddedTo(std::string text, size_t bytes)
{
    if (text.size() < bytes)
        text.append(bytes - text.size(), ' ');
    return text;
}

std::string LengthPrefix(uint32_t length)
{
    return std::string{char(length >> 24), char(length >> 16), char(length >> 8), char(length)};
}

uint32_t ReadLengthPrefix(const std::string& fourBytes)
{
    uint32_t length = 0;
    for (size_t i = 0; i < 4 && i < fourBytes.size(); ++i)
        length = (length << 8) | uint8_t(fourBytes[i]);
    return length;
}

} // namespace ovraemu
