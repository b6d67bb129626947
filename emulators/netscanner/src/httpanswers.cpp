#include "httpanswers.h"

namespace ovraemu {

namespace {

const std::string kScanPostPath = "/netscan/post";
const std::string kCapabilitiesPath = "/netscan/capabilites";
const std::string kFeederStatusPath = "/cgi-bin/dynamic/printer/netscan/adfStatus.html";

std::string Flag(bool value) { return value ? "true" : "false"; }

std::string Line(const std::string& key, const std::string& value) { return key + "=" + value + "\r\n"; }

} // namespace

std::optional<HttpRoute> RouteOf(const HttpRequestRecord& request)
{
    if (request.method == "POST" && request.path == kScanPostPath)
        return FormValue(ParseFormBody(request.body), "SCANTYPE") == std::optional<std::string>("4")
                   ? HttpRoute::Abort
                   : HttpRoute::JobPost;
    if (request.method == "GET" && request.path == kCapabilitiesPath)
        return HttpRoute::Capabilities;
    if (request.method == "POST" && request.path == kFeederStatusPath)
        return HttpRoute::FeederStatus;
    return std::nullopt;
}

const char* RouteName(HttpRoute route)
{
    switch (route) {
    case HttpRoute::JobPost: return "job post";
    case HttpRoute::Abort: return "abort";
    case HttpRoute::Capabilities: return "capabilities";
    case HttpRoute::FeederStatus: return "feeder status";
    }
    return "?";
}

const char* ReasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

std::string HttpAnswer(int status, const std::string& body, const std::string& contentType)
{
    return "HTTP/1.1 " + std::to_string(status) + " " + ReasonPhrase(status) + "\r\n" + "Server: Ovra-K246-Scan\r\n"
           + "Content-Type: " + contentType + "\r\n" + "Content-Length: " + std::to_string(body.size()) + "\r\n"
           + "Connection: close\r\n" + "\r\n" + body;
}

std::string JobPostBody(int result) { return Line("RESULT", std::to_string(result)); }

std::string CapabilitiesBody(const EmuCapabilities& c)
{
    return Line("DUPLEX", Flag(c.duplex)) + Line("COLOR", c.color ? "COLOR" : "MONO")
           + Line("MINRES", std::to_string(c.minres)) + Line("MAXRES", std::to_string(c.maxres))
           + Line("WIDTH_FORMAT", std::to_string(c.widthFormat)) + Line("FAMILY", std::to_string(c.family))
           + Line("PERMPROFILES", Flag(c.permProfiles)) + Line("PROFILE", c.profile ? "ENABLED" : "DISABLED")
           + Line("MAX_WIDTH", std::to_string(c.maxWidth)) + Line("MAX_HEIGHT", std::to_string(c.maxHeight))
           + Line("BASIC_RESOLUTION", std::to_string(c.basicResolution));
}

std::string FeederStatusBody(FeederState state) { return "ADFSTATUS=" + std::to_string(int(state)); }

std::string ErrorPageBody(int status)
{
    const std::string title = std::to_string(status) + " " + ReasonPhrase(status);
    return "<html><head><title>" + title + "</title></head><body><h1>" + title + "</h1></body></html>\r\n";
}

} // namespace ovraemu
