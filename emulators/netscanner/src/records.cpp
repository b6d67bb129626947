#include "ovraemu/netscanrecords.h"

#include <strings.h>

namespace ovraemu {

std::optional<std::string> HttpRequestRecord::Header(const std::string& name) const
{
    for (const auto& [key, value] : headers)
        if (strcasecmp(key.c_str(), name.c_str()) == 0)
            return value;
    return std::nullopt;
}

FormFields ParseFormBody(const std::string& body)
{
    FormFields fields;
    size_t start = 0;
    while (start < body.size()) {
        size_t end = body.find('&', start);
        if (end == std::string::npos)
            end = body.size();
        const std::string piece = body.substr(start, end - start);
        const size_t equals = piece.find('=');
        if (equals == std::string::npos)
            fields.emplace_back(piece, std::string());
        else
            fields.emplace_back(piece.substr(0, equals), piece.substr(equals + 1));
        start = end + 1;
    }
    return fields;
}

std::optional<std::string> FormValue(const FormFields& fields, const std::string& key)
{
    for (const auto& [name, value] : fields)
        if (name == key)
            return value;
    return std::nullopt;
}

const char* JobOutcomeName(JobOutcome outcome)
{
    switch (outcome) {
    case JobOutcome::Waiting: return "waiting";
    case JobOutcome::Streaming: return "streaming";
    case JobOutcome::Completed: return "completed";
    case JobOutcome::Aborted: return "aborted";
    case JobOutcome::Faulted: return "faulted";
    case JobOutcome::Disconnected: return "disconnected";
    }
    return "?";
}

} // namespace ovraemu
