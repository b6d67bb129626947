// Status responses as the printers send them over UDP (frame header and body), for the
// parser benchmarks: an idle printer, one with errors and warnings, and one with long
// texts and many supply items.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ovrabench {

struct NamedResponse {
    std::string name;
    std::vector<uint8_t> bytes;
};

std::vector<NamedResponse> SampleStatusResponses();

} // namespace ovrabench
