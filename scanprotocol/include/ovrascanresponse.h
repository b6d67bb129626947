// Response flags (ResCommon::flags) of the USB scanner's answers.
#pragma once

#include <cstdint>

constexpr uint8_t OVRA_SCAN_RESPONSE_SUCCESS = 0x80;
constexpr uint8_t OVRA_SCAN_RESPONSE_INVALID_COMMAND = 0x81;
constexpr uint8_t OVRA_SCAN_RESPONSE_FAILED = 0x82;
constexpr uint8_t OVRA_SCAN_RESPONSE_LOCK_REQUIRED = 0x83;
constexpr uint8_t OVRA_SCAN_RESPONSE_POWERED_OFF = 0x84;
constexpr uint8_t OVRA_SCAN_RESPONSE_CATASTROPHIC = 0x85;
constexpr uint8_t OVRA_SCAN_RESPONSE_COMMUNICATION = 0x86;
constexpr uint8_t OVRA_SCAN_RESPONSE_REFUSED = 0x88; // bad scan request; lock held elsewhere
constexpr uint8_t OVRA_SCAN_RESPONSE_NO_MEMORY = 0x89;
