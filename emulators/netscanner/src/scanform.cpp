#include "scanform.h"

#include <cstdlib>

namespace ovraemu {

namespace {

std::string ValueOr(const FormFields& form, const std::string& key)
{
    return FormValue(form, key).value_or(std::string());
}

unsigned NumberOr(const FormFields& form, const std::string& key, unsigned otherwise)
{
    const std::string text = ValueOr(form, key);
    char* end = nullptr;
    const unsigned long value = strtoul(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && value <= kChartLargestSide ? unsigned(value) : otherwise;
}

ChartMode ModeOfDepth(const std::string& depth)
{
    if (depth == "other" || depth == "1")
        return ChartMode::Lineart;
    return depth == "8" ? ChartMode::Grey : ChartMode::Colour;
}

bool IsPositiveNumber(const std::string& text)
{
    char* end = nullptr;
    const long value = strtol(text.c_str(), &end, 10);
    return !text.empty() && *end == '\0' && value > 0;
}

} // namespace

JobRequest ReadJobForm(const FormFields& form)
{
    JobRequest request;
    const std::string type = ValueOr(form, "TYPE");
    const std::string source = ValueOr(form, "SCANSOURCE");
    request.resolution = ValueOr(form, "RESOLUTION");
    if (ValueOr(form, "SCANTYPE") != "2")
        request.problem = "SCANTYPE";
    else if (type != "JPEG" && type != "RAW")
        request.problem = "TYPE";
    else if (source != "0" && source != "7")
        request.problem = "SCANSOURCE";
    else if (!IsPositiveNumber(request.resolution))
        request.problem = "RESOLUTION";
    else if (ValueOr(form, "TCPPORT") != "2080")
        request.problem = "TCPPORT";
    request.valid = request.problem.empty();
    request.type = type == "RAW" ? ImageType::Raw : ImageType::Jpeg;
    request.feeder = source == "0";
    request.singlePage = ValueOr(form, "SINGLEPAGE") == "TRUE";
    return request;
}

ChartPage ChartPageOfForm(const FormFields& form)
{
    return ChartPageOf(NumberOr(form, "CUSTOM_WIDTH", 0), NumberOr(form, "CUSTOM_HEIGHT", 0),
                       NumberOr(form, "RESOLUTION", 0), ModeOfDepth(ValueOr(form, "DEPTH")), 1);
}

ScanJobRecord PlanJob(const JobRequest& request, const FormFields& form, const NetScanJob& script, FeederState feeder)
{
    ScanJobRecord job;
    job.form = form;
    job.type = request.type;
    job.feeder = request.feeder;
    job.singlePage = request.singlePage;
    int pages = request.feeder && !request.singlePage ? MultiPageCount(script) : 1;
    if (request.feeder && feeder == FeederState::Empty)
        pages = 0;
    for (int page = 0; page < pages; ++page)
        job.pages.push_back(PageImage(script, page, request.type));
    if (ChartPages(script))
        job.chart = ChartPageOfForm(form);
    return job;
}

int JamBeforePage(const ScanJobRecord& job, const NetScanJob& script, FeederState feeder)
{
    if (!job.feeder)
        return -1;
    if (feeder == FeederState::Jammed)
        return 0;
    if (script.fault.kind == DataFaultKind::FeederJam && script.fault.page < int(job.pages.size()))
        return script.fault.page < 0 ? 0 : script.fault.page;
    return -1;
}

} // namespace ovraemu
