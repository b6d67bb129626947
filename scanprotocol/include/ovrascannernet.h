// Fixed values of the network scanner protocol: the three ports a network
// scanner serves and the markers of its scan data stream.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint16_t OVRA_NET_HTTP_PORT = 80;   // job post, abort, capabilities, feeder status
constexpr uint16_t OVRA_NET_DATA_PORT = 2080; // scan data stream
constexpr uint16_t OVRA_NET_OSL_PORT = 5000;  // getAttribute requests

// Data stream: a 20-byte job header whose bytes 8-13 give the length of the job
// header data that follows; then 18-byte block headers. A block header is one
// of the two markers or announces image data with its length in bytes 6-11;
// after the NEWFILE marker comes an 18-byte page header, its bytes 6-11 giving
// the length of the page header data that follows.
constexpr size_t OVRA_NET_JOB_HEADER_SIZE = 20;
constexpr size_t OVRA_NET_BLOCK_HEADER_SIZE = 18;
constexpr size_t OVRA_NET_JOB_LENGTH_OFFSET = 8;
constexpr size_t OVRA_NET_BLOCK_LENGTH_OFFSET = 6;
constexpr size_t OVRA_NET_LENGTH_DIGITS = 6;
constexpr char newFileFlag[] = "NEWFILE          \n";
constexpr char jobDoneFlag[] = "JOBDONE          \n";
static_assert(sizeof(newFileFlag) - 1 == OVRA_NET_BLOCK_HEADER_SIZE, "NEWFILE marker is 18 bytes");
static_assert(sizeof(jobDoneFlag) - 1 == OVRA_NET_BLOCK_HEADER_SIZE, "JOBDONE marker is 18 bytes");

// Longest answer the daemon reads from the HTTP port and the attribute port.
constexpr size_t OVRA_NET_ANSWER_MAX = 8192;
