// The answers of the scanner's web server, as text ready to send.
#pragma once

#include "ovraemu/netscanner.h"

#include <optional>
#include <string>

namespace ovraemu {

// Which request this is; nullopt for a path the scanner does not serve.
std::optional<HttpRoute> RouteOf(const HttpRequestRecord& request);
const char* RouteName(HttpRoute route);

// A whole answer: status line, headers (the connection closes after it) and body.
std::string HttpAnswer(int status, const std::string& body, const std::string& contentType = "text/plain");
const char* ReasonPhrase(int status);

// "RESULT=<result>" line of the job post answer; the abort answer has RESULT=0.
std::string JobPostBody(int result);
// One KEY=VALUE line per capability.
std::string CapabilitiesBody(const EmuCapabilities& capabilities);
// Ends with the feeder state digit: the daemon reads the last character.
std::string FeederStatusBody(FeederState state);
// An HTML page for an error status: holds no RESULT line and ends with a line end.
std::string ErrorPageBody(int status);

} // namespace ovraemu
