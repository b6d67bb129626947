// What an emulated network scanner received and did, as tests read it back.
#pragma once

#include "ovraemu/netscanjob.h"
#include "testchart.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace ovraemu {

using FormFields = std::vector<std::pair<std::string, std::string>>;

// One HTTP request on port 80, as it arrived.
struct HttpRequestRecord {
    std::string method;
    std::string path;
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers; // in order, as sent
    std::string body;                                         // Content-Length bytes after the empty line
    std::string trailing;                                     // bytes after the request that arrived with it
    std::string raw;                                          // every byte, request line to trailing
    int answerStatus = 0;                                     // HTTP status of the answer

    // The first header of that name (case-insensitive), or nullopt.
    std::optional<std::string> Header(const std::string& name) const;
};

// Splits a form body "K=V&K=V&" into its fields, in order, without unescaping.
// Empty values are kept; the empty piece after a final "&" is not a field.
FormFields ParseFormBody(const std::string& body);

// The value of the first field named `key`, or nullopt.
std::optional<std::string> FormValue(const FormFields& fields, const std::string& key);

// One attribute request on port 5000.
struct AttributeRequestRecord {
    uint32_t announcedLength = 0; // the 4-byte big-endian prefix
    std::string text;             // the XML text that followed
    int requestId = 0;            // from the method element, 0 when absent
    std::string objName;
    std::string attribName;
    size_t answerBytes = 0; // length of the reply text sent back
};

// Where a job's data stream ended.
enum class JobOutcome {
    Waiting,     // posted, no data connection yet
    Streaming,   // data connection open, stream under way
    Completed,   // every page and JOBDONE sent
    Aborted,     // an abort request stopped it
    Faulted,     // a scripted fault ended it
    Disconnected // the peer went away or the scanner stopped mid-stream
};

// One accepted scan job.
struct ScanJobRecord {
    FormFields form;
    ImageType type = ImageType::Jpeg;
    bool feeder = false;
    bool singlePage = false;
    std::vector<std::vector<uint8_t>> pages; // the image bytes planned for each page (empty for charts)
    std::optional<ChartPage> chart;          // the chart's size and mode when the pages are charts
    int pagesSent = 0;                       // pages whose every block went out
    JobOutcome outcome = JobOutcome::Waiting;
};

const char* JobOutcomeName(JobOutcome outcome);

} // namespace ovraemu
