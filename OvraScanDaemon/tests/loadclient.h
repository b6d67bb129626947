// One scan client of the load test: a connection to the daemon that sends a
// mix of commands and checks every reply, and scans from its own emulated
// network scanner (small pages), ending each scan by deleting its pages or by
// an abort.
#pragma once

#include "ovraemu/netscanner.h"
#include "ovrascan/scanclient.h"

#include <memory>
#include <string>

struct stLoadTally {
    int commands = 0;     // commands whose reply was as expected
    int wrongReplies = 0; // commands whose reply was wrong or missing
    int scans = 0;        // scans that ended as expected
    int failedScans = 0;
    std::string firstProblem;
    bool Ok() const { return wrongReplies == 0 && failedScans == 0 && commands > 0; }
};

class LoadClient
{
public:
    // `index` tells the clients apart (the handles they name, their pages);
    // the client scripts its scanner's answers.
    LoadClient(int index, ovraemu::NetScanner& scanner);

    // Connects and sends the first commands at once; true when they were
    // answered.
    bool Connect(uint16_t port);
    void Close();

    // `count` commands of the mix; the commands that name the network scanner
    // make the daemon open and close a connection to it.
    void RunCommands(int count);
    // A multi-page feeder scan read to its last record; its pages stay until
    // DeletePages.
    void Scan();
    // Deletes the pages of the last Scan one by one (CMD_DELETE_FILE has no
    // reply: the next command's reply shows they were handled); the scan
    // counts once its pages are gone.
    void DeletePages();
    // A scan read to its end, then aborted: the abort removes its pages.
    void ScanThenAbort();
    // A scan whose scanner stalls on the second page; the abort stops the
    // data process and removes the pages written so far.
    void ScanAbortedMidway();

    const stLoadTally& Tally() const { return m_tally; }

private:
    struct stScan {
        std::string baseName;
        int dataFd = -1;
        int pages = 0;
        size_t job = 0; // index of the scanner's job record
    };

    bool Check(bool ok, const std::string& what);
    void Count(bool rightReply);
    bool Command(int kind);
    bool UsbCommand(int kind, int32_t handle);
    bool NetworkCommand(int kind);
    bool IntCommand(scanCommandType command, const void* request, size_t size, int32_t expected);
    bool OpenDevRefused();
    bool CheckBaseName(const std::string& baseName);
    bool StartScan(const ovraemu::NetScanJob& job, stScan& scan);
    bool ReadRecordsToEnd(stScan& scan);
    bool PagesMatchScanner(const stScan& scan);
    bool NoPagesLeft(const stScan& scan);
    bool Abort(const stScan& scan);
    void CountScan(bool ok);

    int m_index;
    ovraemu::NetScanner& m_scanner;
    std::unique_ptr<ovrascan::ScanClient> m_client;
    int m_scanStarts = 0;     // scan starts on this connection so far
    std::string m_namePrefix; // "<scan dir>ovrascandata_<connection pid>_"
    int m_step = 0;           // commands of the mix sent so far
    stScan m_lastScan;
    bool m_lastScanOk = false;
    stLoadTally m_tally;
};
