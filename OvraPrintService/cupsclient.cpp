#include "cupsclient.h"

#include <cups/cups.h>

#include <QSet>

#include <algorithm>
#include <cerrno>

namespace {

// The attributes asked for and read, named once.
const char c_szPrinterUri[] = "printer-uri";
const char c_szPrinterState[] = "printer-state";
const char c_szRequestingUser[] = "requesting-user-name";
const char c_szRequestedAttributes[] = "requested-attributes";
const char c_szWhichJobs[] = "which-jobs";
const char c_szMyJobs[] = "my-jobs";
const char c_szJobId[] = "job-id";
const char c_szJobState[] = "job-state";
const char c_szJobStateReasons[] = "job-state-reasons";
const char c_szJobMessage[] = "job-printer-state-message";
const char c_szNotCompleted[] = "not-completed";

const char* const c_aszJobAttributes[] = {c_szJobId, c_szJobState, c_szJobStateReasons, c_szJobMessage};
const int c_iJobAttributes = int(sizeof(c_aszJobAttributes) / sizeof(c_aszJobAttributes[0]));

// A response that says the scheduler took the question, even if it knows no such queue.
bool Answered(ipp_t* pResponse) { return pResponse && ippGetStatusCode(pResponse) <= IPP_STATUS_OK_EVENTS_COMPLETE; }

// The service asks nothing that needs a password, and has nobody to ask for one: never
// prompt on a terminal, whatever the scheduler's policy says.
const char* NoPassword(const char*, http_t*, const char*, const char*, void*) { return nullptr; }

void AddRequestedJobAttributes(ipp_t* pRequest)
{
    ippAddStrings(pRequest, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, c_szRequestedAttributes, c_iJobAttributes, nullptr,
                  c_aszJobAttributes);
}

// One attribute of a job group into the job; attributes of other names or types are
// passed over.
void ReadJobAttribute(ipp_attribute_t* pAttr, stCupsJob& job)
{
    const char* szName = ippGetName(pAttr);
    if (!szName)
        return;
    const QByteArray name(szName);
    const ipp_tag_t tag = ippGetValueTag(pAttr);
    if (name == c_szJobId && tag == IPP_TAG_INTEGER) {
        job.iId = ippGetInteger(pAttr, 0);
    } else if (name == c_szJobState && tag == IPP_TAG_ENUM) {
        job.iState = ippGetInteger(pAttr, 0);
    } else if (name == c_szJobStateReasons && tag == IPP_TAG_KEYWORD) {
        job.listReasons.clear();
        for (int i = 0; i < ippGetCount(pAttr); ++i)
            job.listReasons << QString::fromUtf8(ippGetString(pAttr, i, nullptr));
    } else if (name == c_szJobMessage && (tag == IPP_TAG_TEXT || tag == IPP_TAG_TEXTLANG)) {
        job.strMessage = QString::fromUtf8(ippGetString(pAttr, 0, nullptr));
    }
}

} // namespace

QList<stCupsJob> JobsOfResponse(ipp_t* pResponse)
{
    QList<stCupsJob> listJobs;
    if (!pResponse)
        return listJobs;
    // Each job is a group of its own; a separator or another group ends it.
    stCupsJob job;
    bool bInJob = false;
    for (ipp_attribute_t* pAttr = ippFirstAttribute(pResponse);; pAttr = ippNextAttribute(pResponse)) {
        if (!pAttr || ippGetGroupTag(pAttr) != IPP_TAG_JOB) {
            if (bInJob && job.iId > 0)
                listJobs.append(job);
            job = stCupsJob();
            bInJob = false;
            if (!pAttr)
                break;
            continue;
        }
        bInJob = true;
        ReadJobAttribute(pAttr, job);
    }
    return listJobs;
}

CupsClient::~CupsClient() { Disconnect(); }

void CupsClient::Disconnect()
{
    if (m_pHttp)
        httpClose(m_pHttp);
    m_pHttp = nullptr;
}

bool CupsClient::Connect()
{
    if (m_pHttp)
        return true;
    // The scheduler is looked up again at each new connection (CUPS_SERVER, client.conf):
    // libcups would otherwise keep the first answer for the life of the thread.
    cupsSetServer(nullptr);
    cupsSetPasswordCB2(NoPassword, nullptr);
    m_pHttp =
        httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, c_iConnectTimeoutMs, nullptr);
    if (!m_pHttp) {
        m_enLast = en_Cups_Unreachable;
        return false;
    }
    // Without a callback, a read or write that waits longer fails the request.
    httpSetTimeout(m_pHttp, c_dRequestTimeoutS, nullptr, nullptr);
    return true;
}

ipp_t* CupsClient::Ask(ipp_t* pRequest)
{
    if (!Connect()) {
        ippDelete(pRequest);
        return nullptr;
    }
    ipp_t* pResponse = cupsDoRequest(m_pHttp, pRequest, "/"); // frees the request
    if (pResponse) {
        m_enLast = en_Cups_Answered;
        return pResponse;
    }
    m_enLast = httpError(m_pHttp) == ETIMEDOUT ? en_Cups_TimedOut : en_Cups_Unreachable;
    Disconnect();
    return nullptr;
}

ipp_t* CupsClient::NewQueueRequest(int iOperation, const QString& strQueue) const
{
    ipp_t* pRequest = ippNewRequest(static_cast<ipp_op_t>(iOperation));
    char szUri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, szUri, sizeof(szUri), "ipp", nullptr, "localhost", ippPort(), "/printers/%s",
                     strQueue.toUtf8().constData());
    ippAddString(pRequest, IPP_TAG_OPERATION, IPP_TAG_URI, c_szPrinterUri, nullptr, szUri);
    ippAddString(pRequest, IPP_TAG_OPERATION, IPP_TAG_NAME, c_szRequestingUser, nullptr, cupsUser());
    return pRequest;
}

bool CupsClient::QueueIsPrinting(const QString& strQueue)
{
    ipp_t* pRequest = NewQueueRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, strQueue);
    ippAddString(pRequest, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, c_szRequestedAttributes, nullptr, c_szPrinterState);
    ipp_t* pResponse = Ask(pRequest);
    bool bPrinting = false;
    if (Answered(pResponse)) {
        ipp_attribute_t* pState = ippFindAttribute(pResponse, c_szPrinterState, IPP_TAG_ENUM);
        bPrinting = pState && ippGetInteger(pState, 0) == IPP_PSTATE_PROCESSING;
    }
    ippDelete(pResponse);
    return bPrinting;
}

QList<stCupsJob> CupsClient::Jobs(const QString& strQueue, const QList<stJobState>& listWatched, enCupsAnswer* pAnswer)
{
    ipp_t* pRequest = NewQueueRequest(IPP_OP_GET_JOBS, strQueue);
    ippAddString(pRequest, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, c_szWhichJobs, nullptr, c_szNotCompleted);
    ippAddBoolean(pRequest, IPP_TAG_OPERATION, c_szMyJobs, 0);
    AddRequestedJobAttributes(pRequest);
    ipp_t* pResponse = Ask(pRequest);
    QList<stCupsJob> listJobs = Answered(pResponse) ? JobsOfResponse(pResponse) : QList<stCupsJob>();
    ippDelete(pResponse);

    // A watched job that has finished since is asked for on its own, so a long history
    // of finished jobs costs nothing.
    QSet<int> listed;
    for (const stCupsJob& job : listJobs)
        listed.insert(job.iId);
    for (const stJobState& watched : listWatched) {
        if (m_enLast != en_Cups_Answered)
            break;
        const int iId = CupsJobNumberOf(watched.strJobId);
        if (iId <= 0 || listed.contains(iId) || JobIdOf(strQueue, iId) != watched.strJobId)
            continue;
        listed.insert(iId);
        ipp_t* pJobRequest = NewQueueRequest(IPP_OP_GET_JOB_ATTRIBUTES, strQueue);
        ippAddInteger(pJobRequest, IPP_TAG_OPERATION, IPP_TAG_INTEGER, c_szJobId, iId);
        AddRequestedJobAttributes(pJobRequest);
        ipp_t* pJobResponse = Ask(pJobRequest);
        if (Answered(pJobResponse))
            listJobs << JobsOfResponse(pJobResponse);
        ippDelete(pJobResponse);
    }
    std::stable_sort(listJobs.begin(), listJobs.end(),
                     [](const stCupsJob& a, const stCupsJob& b) { return a.iId < b.iId; });
    if (pAnswer)
        *pAnswer = m_enLast;
    return listJobs;
}
