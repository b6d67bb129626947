// What a job check decides from the jobs CUPS reports for a queue: which jobs print, and
// which printing job the user has just cancelled. CUPS answers in keywords, so nothing
// here depends on the language of the desk.
#pragma once

#include "printerstate.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// One job as CUPS reports it (Get-Jobs / Get-Job-Attributes).
struct stCupsJob {
    int iId = 0;
    int iState = 0;          // job-state (3 pending ... 9 completed); 0 when CUPS gave none
    QStringList listReasons; // job-state-reasons, the keywords lpstat shows as "Alerts:"
    QString strMessage;      // job-printer-state-message, what lpstat shows as "Status:"
};

enum enCupsJobState {
    en_CupsJob_Pending = 3,
    en_CupsJob_Held = 4,
    en_CupsJob_Processing = 5,
    en_CupsJob_Stopped = 6, // processing-stopped: the queue stopped under the job
    en_CupsJob_Canceled = 7,
    en_CupsJob_Aborted = 8,
    en_CupsJob_Completed = 9,
};

// Whether CUPS reports the job as being processed: its state says so, or, for a job not
// yet finished, its status message does.
bool CupsJobIsProcessing(const stCupsJob& job);

// The job's status value (enJobStatus) by the rules of the job check.
int JobStatusOf(const stCupsJob& job);

// The id a job carries in the records: "queue-42".
QString JobIdOf(const QString& strQueue, int iId);
// The CUPS job number of such an id; 0 when it has none.
int CupsJobNumberOf(const QString& strJobId);

// Called for a job that the previous check saw printing and that is now reported as
// cancelled by the user.
using JobCanceledFn = std::function<void(const stJobState& job)>;

// The printing jobs (status 1) of the queue, in the order of the jobs given; onCanceled
// runs once for each job that listPrevious has printing and that is now cancelled by the
// user.
QList<stJobState> DecideJobs(const QString& strQueue, const QList<stCupsJob>& listJobs,
                             const QList<stJobState>& listPrevious, const JobCanceledFn& onCanceled);
