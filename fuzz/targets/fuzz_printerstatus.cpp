// A printer's status response as the print service takes it from the UDP or USB
// exchange (status file, change detection, decoding), and the status file as the
// tray monitor and the tools read it back.
#include "fuzzenv.h"
#include "sharedprinterlist.h"
#include "statusfile.h"
#include "trdgetprinterstatus.h"
#include "utilprinterstatus.h"

namespace {

const char c_szQueue[] = "fuzz-queue";

bool SameState(const stPrinterState& a, const stPrinterState& b)
{
    return a.strPrinterSerialNumber == b.strPrinterSerialNumber && a.enCurrentStatus == b.enCurrentStatus
           && a.strFWVersion == b.strFWVersion && a.strVenderName == b.strVenderName
           && a.strProductName == b.strProductName && a.listErrorStatus == b.listErrorStatus
           && a.listWarningStatus == b.listWarningStatus && a.iNumberOfError == b.iNumberOfError
           && a.iNumberOfWarning == b.iNumberOfWarning && a.strSupplySerialNumber == b.strSupplySerialNumber
           && a.dwRemainingToner == b.dwRemainingToner && a.dwWasteToner == b.dwWasteToner
           && a.dwOPCRotation == b.dwOPCRotation && a.dwNumberOfPages == b.dwNumberOfPages
           && a.dwNumberOfPrint == b.dwNumberOfPrint && a.dwPrintDotsCount == b.dwPrintDotsCount
           && a.dwPrinterNumOfPages == b.dwPrinterNumOfPages && a.dwPrinterNumOfPrint == b.dwPrinterNumOfPrint;
}

void CheckDecoded(const stPrinterState& state)
{
    using ovrafuzz::Check;
    Check(state.enCurrentStatus >= 0 && state.enCurrentStatus < en_Status_Count, "status out of range");
    Check(state.iNumberOfError == state.listErrorStatus.size(), "error count");
    Check(state.iNumberOfWarning == state.listWarningStatus.size(), "warning count");
    for (const QList<int>* list : {&state.listErrorStatus, &state.listWarningStatus})
        for (int value : *list)
            Check(value >= 0 && value < en_Error_Count, "error value out of range");
    Check(state.strVenderName.size() <= UtilPrinterStatus::c_iLongTextCapacity, "vendor name beyond capacity");
    Check(state.strFWVersion.size() <= UtilPrinterStatus::c_iShortTextCapacity, "firmware beyond capacity");
    Check(state.strSupplySerialNumber.size() <= UtilPrinterStatus::c_iSupplySerialCapacity,
          "supply serial beyond capacity");
}

// The worker of index 0, whose entry in its list is the queue.
TrdGetPrinterStatus& Worker()
{
    static TrdGetPrinterStatus* worker = [] {
        ovrafuzz::FuzzRoot();
        auto* list = new SharedPrinterList;
        stPrinterManager entry;
        entry.stInfo.strName = c_szQueue;
        list->Replace({entry});
        auto* created = new TrdGetPrinterStatus;
        created->Init(0, list);
        created->stCurrent = entry;
        return created;
    }();
    return *worker;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    stPrinterState decoded;
    const bool bParsed = DecodePrinterStatus(data, size, decoded);
    if (bParsed)
        CheckDecoded(decoded);

    // The printer answers, then answers the same again (an idle printer does so all day).
    TrdGetPrinterStatus& worker = Worker();
    const stPrinterState before = worker.stCurrent.stState;
    for (int iPoll = 0; iPoll < 2; ++iPoll) {
        const int iResult = worker.CheckPrinterStatus(data, int(size));
        ovrafuzz::Check((iResult == 0) == bParsed, "service and parser disagree");
        ovrafuzz::Check(SameState(worker.stCurrent.stState, bParsed ? decoded : before),
                        "service state is not the decoded one");
    }

    // Readers take the first c_iStatusFileMaxBytes of the file: the whole of any response
    // an exchange receives.
    if (size > size_t(c_iStatusFileMaxBytes))
        return 0;
    stPrinterState fromFile;
    const bool bRead = ReadStatusFile(c_szQueue, fromFile);
    ovrafuzz::Check(bRead == bParsed, "status file reads otherwise than the response");
    ovrafuzz::Check(!bRead || SameState(fromFile, decoded), "status file decodes otherwise");
    return 0;
}
