// Status codes of the scan daemon's replies (the SANE_Status numbering) as text.
#pragma once

#include <string>

namespace ovrascan {

// "SANE_STATUS_DEVICE_BUSY" for 3; "USB transfer failure" for a negative value;
// "status N" for a value outside the numbering.
std::string StatusName(int status);
// What the status means for the user ("the device is busy").
std::string StatusMeaning(int status);
// "the device is busy (SANE_STATUS_DEVICE_BUSY, 3)".
std::string DescribeStatus(int status);

} // namespace ovrascan
