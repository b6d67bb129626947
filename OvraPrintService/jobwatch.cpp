#include "jobwatch.h"

namespace {

const char c_szReasonNone[] = "none";
const char c_szReasonPrinting[] = "job-printing";
const char c_szReasonCanceledByUser[] = "job-canceled-by-user";

bool WasPrinting(const QList<stJobState>& listPrevious, const QString& strJobId)
{
    for (const stJobState& job : listPrevious) {
        if (job.strJobId == strJobId && job.iJobStatus == en_Job_Printing)
            return true;
    }
    return false;
}

} // namespace

bool CupsJobIsProcessing(const stCupsJob& job)
{
    if (job.iState == en_CupsJob_Processing || job.iState == en_CupsJob_Stopped)
        return true;
    // The message is the backend's text, "Processing" only in English; it counts as long
    // as the job is not finished, as lpstat's "Status:" line did.
    return job.iState < en_CupsJob_Canceled && job.strMessage.contains("Processing");
}

int JobStatusOf(const stCupsJob& job)
{
    if (job.listReasons.isEmpty())
        return en_Job_HeaderOnly;
    if (job.listReasons.contains(c_szReasonNone))
        return en_Job_AlertNone;
    if (job.listReasons.contains(c_szReasonPrinting))
        return en_Job_Printing;
    if (job.listReasons.contains(c_szReasonCanceledByUser))
        return en_Job_CanceledByUser;
    return CupsJobIsProcessing(job) ? en_Job_Printing : en_Job_OtherAlert;
}

QString JobIdOf(const QString& strQueue, int iId) { return strQueue + '-' + QString::number(iId); }

int CupsJobNumberOf(const QString& strJobId)
{
    bool bOk = false;
    const int iId = strJobId.section('-', -1).toInt(&bOk);
    return bOk && iId > 0 ? iId : 0;
}

QList<stJobState> DecideJobs(const QString& strQueue, const QList<stCupsJob>& listJobs,
                             const QList<stJobState>& listPrevious, const JobCanceledFn& onCanceled)
{
    QList<stJobState> listResult;
    for (const stCupsJob& cupsJob : listJobs) {
        stJobState job;
        job.strJobId = JobIdOf(strQueue, cupsJob.iId);
        job.iJobStatus = JobStatusOf(cupsJob);
        if (job.iJobStatus == en_Job_Printing)
            listResult.append(job);
        else if (job.iJobStatus == en_Job_CanceledByUser && onCanceled && WasPrinting(listPrevious, job.strJobId))
            onCanceled(job);
    }
    return listResult;
}
