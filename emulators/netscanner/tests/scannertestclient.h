// The scan daemon's side of the network scanner protocol, for tests: its requests
// written out as it sends them, and small blocking exchanges with bounded waits.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace scantest {

using Fields = std::vector<std::pair<std::string, std::string>>;

// The address the daemon writes into IPADDRESS and the Host line of a job post.
extern const char* const kDaemonFixedAddress;

// The 25 fields of a job post in their order, for a job with these settings.
struct JobSettings {
    int bitDepth = 24;
    bool jpeg = true;
    bool feeder = false;
    bool multiPage = false; // isClient
    int resolution = 300;
    int width = 2550, height = 3300, xStart = 0, yStart = 0;
    int brightness = 50, contrast = 50;
    int backgroundRemoval = 0, backgroundRemovalParam = 0;
    std::string login;
};
Fields DaemonJobForm(const JobSettings& settings);

// "K=V&" for every field.
std::string FormBody(const Fields& fields);
// The daemon's POST text around a body.
std::string PostRequest(const std::string& path, const std::string& host, const std::string& body);
std::string JobPostRequest(const Fields& fields);
std::string AbortRequest(const std::string& host);
std::string CapabilitiesRequest(const std::string& host);
std::string FeederStatusRequest(const std::string& host);
// The attribute request message: 4-byte big-endian length, then the XML text.
std::string AttributeRequestText(int requestId, const std::string& objName, const std::string& attribName);
std::string AttributeRequestMessage(const std::string& text);

// A TCP connection with 5-second send and receive limits; -1 when it cannot connect.
int Connect(const std::string& address, uint16_t port);
bool SendText(int fd, const std::string& text);
// Reads until the peer closes (or a receive limit passes).
std::string ReadToEnd(int fd);
// Reads exactly n bytes; false on a short read.
bool ReadExactly(int fd, std::string& out, size_t n);
// Sends a request on a new connection and returns everything the answer holds.
std::string Exchange(const std::string& address, uint16_t port, const std::string& request);

// The body of an HTTP answer (after the first empty line), and its status code.
std::string AnswerBody(const std::string& answer);
int AnswerStatus(const std::string& answer);

// The data stream of one job as the daemon takes it apart.
struct ReceivedJob {
    std::string jobHeader; // the 20 bytes
    std::string jobHeaderData;
    std::vector<std::string> pages; // reassembled image bytes
    std::vector<size_t> blockSizes; // of every data block, in order
    int newFileMarkers = 0;
    bool jobDone = false;
    bool closedMidBlock = false;      // a block's bytes stopped arriving
    bool closedBetweenBlocks = false; // the connection ended before JOBDONE
};
// Connects to port 2080 and reads one job to JOBDONE or to the end of the stream.
ReceivedJob ReceiveJob(const std::string& address);
// The same on an open data connection.
ReceivedJob ReadJob(int fd);

// Bytes 6-11 (block headers) or 8-13 (job header) read as the daemon reads them.
int SizeAt(const std::string& header, size_t offset);

} // namespace scantest
