// A fake network scanner on a loopback address: the HTTP port (80) answers
// job posts, aborts, capabilities and feeder status; the data port (2080)
// streams pages in blocks; the attribute port (5000) answers getAttribute.
// Binding port 80 needs root: start() reports false when it cannot bind.
#pragma once

#include <atomic>
#include <cstddef>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct stNetScanConfig {
    std::string jobAnswer = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nRESULT=0\r\n";
    std::string abortAnswer = "HTTP/1.1 200 OK\r\n\r\nRESULT=0\r\n";
    std::string capabilities = "HTTP/1.1 200 OK\r\n\r\nDUPLEX=true\r\nCOLOR=COLOR\r\nMINRES=75\r\nMAXRES=1200\r\n"
                               "WIDTH_FORMAT=2\r\nFAMILY=7\r\nPERMPROFILES=false\r\nPROFILE=ENABLED\r\n"
                               "MAX_WIDTH=2550\r\nMAX_HEIGHT=4200\r\nBASIC_RESOLUTION=300\r\n";
    std::string adfAnswer = "HTTP/1.1 200 OK\r\n\r\nADFSTATUS=2";
    int seed = 1;
    int pages = 3;
    size_t pageSize = 3000;
    size_t blockSize = 1024;
    bool firstBlockIsData = false; // page 0 starts without a NEWFILE marker
    bool holdMidScan = false;      // stop after page 0's first block until the peer closes
    std::string oslReply = "<reply/>";
    int oslParts = 1;
    long oslAnnounced = -1; // length written in front of the reply (-1: its real length)
};

class FakeNetScanner
{
public:
    FakeNetScanner(std::string ip, stNetScanConfig config);
    ~FakeNetScanner();
    bool start();
    void stop();

    std::string ip() const { return m_ip; }
    std::vector<std::string> httpRequests();
    std::vector<std::string> oslRequests();
    int dataConnections() const { return m_dataConnections; }
    // The bytes of page `page` as this scanner sends them.
    std::vector<unsigned char> page(int page) const;

private:
    void acceptLoop(int listenFd, int kind);
    void serveHttp(int fd);
    void serveData(int fd);
    void serveOsl(int fd);

    std::string m_ip;
    stNetScanConfig m_config;
    std::atomic<bool> m_stop{false};
    std::vector<int> m_listenFds;
    std::vector<std::thread> m_threads;
    std::mutex m_mutex;
    std::vector<std::thread> m_workers;
    std::vector<std::string> m_http;
    std::vector<std::string> m_osl;
    std::atomic<int> m_dataConnections{0};
};

// A data stream block header announcing n bytes (digits padded with spaces
// or zeros).
std::string blockHeader(size_t n, bool zeroPadded);
