// Port 80: one request per connection, answered and closed.
#include "httpanswers.h"
#include "httpreader.h"
#include "scanform.h"
#include "scannerstate.h"
#include "socketio.h"

#include <sys/socket.h>

namespace ovraemu {

namespace {

constexpr std::chrono::seconds kRequestTimeout(10);
constexpr std::chrono::seconds kLingerLimit(2);

struct Answer {
    std::string text;
    int status = 200;
    std::string event;
};

Answer ErrorAnswer(int status)
{
    return {HttpAnswer(status, ErrorPageBody(status), "text/html"), status, "error page"};
}

// Accepts the job or refuses it with a RESULT value; call with the mutex held.
int JobPostResultLocked(NetScanner::State& state, const FormFields& form, std::string& event)
{
    const JobRequest request = ReadJobForm(form);
    if (state.postResult != kPostResultSuccess) {
        event = "refused by script";
        return state.postResult;
    }
    if (!request.valid) {
        event = "bad field " + request.problem;
        return kPostResultBadField;
    }
    if (state.AnyJobStreamingLocked()) {
        event = "busy with a running job";
        return kPostResultDeviceBusy;
    }
    if (state.waitingJob)
        state.jobs[state.waitingJob->index].outcome = JobOutcome::Disconnected;
    ScanJobRecord job = PlanJob(request, form, state.job, state.feeder);
    const int jam = JamBeforePage(job, state.job, state.feeder);
    event = "job " + std::to_string(state.jobs.size() + 1) + ": " + (request.feeder ? "feeder" : "flatbed")
            + (request.feeder ? (request.singlePage ? " single page" : " multi-page") : "") + ", "
            + (request.type == ImageType::Jpeg ? "JPEG" : "RAW") + ", " + request.resolution + " dpi, "
            + std::to_string(job.pages.size()) + " page(s)";
    state.jobs.push_back(std::move(job));
    state.waitingJob = WaitingJob{state.jobs.size() - 1, jam, state.job};
    return kPostResultSuccess;
}

Answer JobPost(NetScanner::State& state, const HttpRequestRecord& request)
{
    std::string event;
    const int result = JobPostResultLocked(state, ParseFormBody(request.body), event);
    return {HttpAnswer(200, JobPostBody(result)), 200, "RESULT=" + std::to_string(result) + " (" + event + ")"};
}

Answer Abort(NetScanner::State& state)
{
    ++state.aborts;
    if (state.waitingJob) {
        state.jobs[state.waitingJob->index].outcome = JobOutcome::Aborted;
        state.waitingJob.reset();
    }
    // A stream blocked in a send ends at once.
    state.connections.ShutDown(ConnectionKind::Data);
    return {HttpAnswer(200, JobPostBody(kPostResultSuccess)), 200, "RESULT=0 (running job stopped)"};
}

// Builds the answer and records the request; call with the mutex held.
Answer AnswerLocked(NetScanner::State& state, const HttpRequestRecord& request)
{
    const std::optional<HttpRoute> route = RouteOf(request);
    if (!route)
        return ErrorAnswer(404);
    const int status = state.HttpStatusLocked(*route);
    if (status != 200)
        return ErrorAnswer(status);
    switch (*route) {
    case HttpRoute::JobPost: return JobPost(state, request);
    case HttpRoute::Abort: return Abort(state);
    case HttpRoute::Capabilities: return {HttpAnswer(200, CapabilitiesBody(state.capabilities)), 200, "capabilities"};
    case HttpRoute::FeederStatus:
        return {HttpAnswer(200, FeederStatusBody(state.feeder)), 200,
                "feeder state " + std::to_string(int(state.feeder))};
    }
    return ErrorAnswer(500);
}

std::string RouteLabel(const HttpRequestRecord& request)
{
    const std::optional<HttpRoute> route = RouteOf(request);
    return route ? RouteName(*route) : "unknown path";
}

// Lets the peer read the answer to its end: no more sending, then wait for its close
// (closing with unread input would reset the connection).
void Linger(NetScanner::State& state, int fd)
{
    shutdown(fd, SHUT_WR);
    std::string discarded;
    while (ReadSome(fd, state.stop.Fd(), discarded, 65536, kLingerLimit) == IoResult::Ok
           && discarded.size() < 1 << 20) {
    }
}

} // namespace

void ServeHttp(NetScanner::State& state, int fd)
{
    std::optional<HttpRequestRecord> request = ReadHttpRequest(fd, state.stop.Fd(), kRequestTimeout);
    if (!request) {
        state.Emit("http: incomplete request, connection closed");
        return;
    }
    Answer answer;
    {
        std::lock_guard<std::mutex> lock(state.mutex);
        answer = AnswerLocked(state, *request);
        request->answerStatus = answer.status;
        state.httpRequests.push_back(*request);
        state.changed.notify_all();
    }
    state.Emit("http " + request->method + " " + request->path + " (" + RouteLabel(*request) + ") -> "
               + std::to_string(answer.status) + " " + answer.event);
    if (SendAll(fd, answer.text))
        Linger(state, fd);
}

} // namespace ovraemu
