// The words of a control command line and its answers ("ok", "error TEXT").
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ovraemu {

// The answer of a command that succeeded without a value.
inline const std::string kOk = "ok";

// The answer of a command that failed: "error " and the message.
std::string Error(const std::string& message);
// The words of a line, split at white space.
std::vector<std::string> SplitWords(const std::string& line);
// A decimal device id; no value when the text is anything else.
std::optional<int> ParseId(const std::string& text);

}  // namespace ovraemu
