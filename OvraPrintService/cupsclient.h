// The print service's questions to CUPS, asked in-process over IPP: whether a queue is
// printing, and the jobs of a queue. One connection per worker, made on first use and
// made again after a failure; CUPS_SERVER and CUPS_SERVERROOT choose the scheduler as
// for any CUPS client. Queue names reach CUPS only as attribute values.
#pragma once

#include "jobwatch.h"

#include <QList>
#include <QString>

typedef struct _http_s http_t;
typedef struct _ipp_s ipp_t;

// How a question was answered.
enum enCupsAnswer {
    en_Cups_Answered = 0,
    en_Cups_Unreachable = 1, // no scheduler, or the connection broke: asking again is cheap
    en_Cups_TimedOut = 2,    // the scheduler took longer than the time-out: it hangs
};

class CupsClient
{
public:
    static constexpr int c_iConnectTimeoutMs = 1000;
    static constexpr double c_dRequestTimeoutS = 2.0;

    CupsClient() = default;
    ~CupsClient();
    CupsClient(const CupsClient&) = delete;
    CupsClient& operator=(const CupsClient&) = delete;

    // Whether CUPS reports the queue processing a job (printer-state). False when CUPS
    // does not answer or does not know the queue.
    bool QueueIsPrinting(const QString& strQueue);

    // The queue's jobs not yet completed, from every user, each once, in job order; then
    // those of listWatched (job ids "queue-42") that have left that list, as CUPS now
    // reports them. Empty when CUPS does not answer (*pAnswer tells why).
    QList<stCupsJob> Jobs(const QString& strQueue, const QList<stJobState>& listWatched,
                          enCupsAnswer* pAnswer = nullptr);

    void Disconnect();

private:
    // Sends the request (always freed) and returns the response, or null when the
    // scheduler did not answer; then the connection is dropped and m_enLast says why.
    ipp_t* Ask(ipp_t* pRequest);
    ipp_t* NewQueueRequest(int iOperation, const QString& strQueue) const;
    bool Connect();

    http_t* m_pHttp = nullptr;
    enCupsAnswer m_enLast = en_Cups_Answered;
};

// The jobs of a Get-Jobs or Get-Job-Attributes response, in the order given; a job
// without a job-id is left out. The response's bytes come from the scheduler.
QList<stCupsJob> JobsOfResponse(ipp_t* pResponse);
