// IPP responses to the print service's job questions, as the scheduler would send them:
// the jobs read from the response, the printing jobs kept, and a cancel only for a job
// that the check before saw printing.
#include "cupsclient.h"
#include "fuzzenv.h"
#include "jobwatch.h"

#include <cups/cups.h>

#include <cstring>

namespace {

struct stInput {
    const uint8_t* pData;
    size_t iLeft;
};

ssize_t ReadInput(void* pContext, ipp_uchar_t* pBuffer, size_t iBytes)
{
    stInput* pInput = static_cast<stInput*>(pContext);
    const size_t iCount = iBytes < pInput->iLeft ? iBytes : pInput->iLeft;
    std::memcpy(pBuffer, pInput->pData, iCount);
    pInput->pData += iCount;
    pInput->iLeft -= iCount;
    return ssize_t(iCount);
}

void CheckPrinting(const QList<stJobState>& jobs)
{
    for (const stJobState& job : jobs)
        ovrafuzz::Check(job.iJobStatus == en_Job_Printing && job.iReserved == -1, "kept a job not printing");
}

bool Listed(const QList<stJobState>& jobs, const QString& strId)
{
    for (const stJobState& job : jobs)
        if (job.strJobId == strId)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    stInput input{data, size};
    ipp_t* pResponse = ippNew();
    if (ippReadIO(&input, ReadInput, 1, nullptr, pResponse) != IPP_STATE_DATA) {
        ippDelete(pResponse);
        return 0;
    }
    const QList<stCupsJob> listJobs = JobsOfResponse(pResponse);
    ippDelete(pResponse);
    for (const stCupsJob& job : listJobs)
        ovrafuzz::Check(job.iId > 0, "a job without its id");

    const QList<stJobState> first =
        DecideJobs("q", listJobs, {}, [](const stJobState&) { ovrafuzz::Fail("cancel without a job seen printing"); });
    CheckPrinting(first);
    const QList<stJobState> second = DecideJobs("q", listJobs, first, [&first](const stJobState& job) {
        ovrafuzz::Check(job.iJobStatus == en_Job_CanceledByUser && Listed(first, job.strJobId),
                        "cancel for a job not seen printing");
    });
    CheckPrinting(second);
    ovrafuzz::Check(second.size() == first.size(), "the same answer keeps other jobs");
    return 0;
}
