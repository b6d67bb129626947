// "lpstat -l -o" output as the print service's job watcher reads it: the printing jobs,
// and a cancel only for a job that the check before saw printing.
#include "fuzzenv.h"
#include "joblisting.h"

#include <QTextCodec>

namespace {

// Lines as the job watcher reads its scratch file: split at line ends, each decoded.
QStringList Lines(const uint8_t* data, size_t size)
{
    QTextCodec* pCodec = QTextCodec::codecForName("utf-8");
    QStringList lines;
    for (const QByteArray& raw : QByteArray(reinterpret_cast<const char*>(data), int(size)).split('\n'))
        lines << pCodec->toUnicode(raw);
    return lines;
}

void CheckPrinting(const QList<stJobState>& jobs)
{
    for (const stJobState& job : jobs)
        ovrafuzz::Check(job.iJobStatus == en_Job_Printing && job.iReserved == -1, "kept a job not printing");
}

bool WasPrinting(const QList<stJobState>& jobs, const QString& strId)
{
    for (const stJobState& job : jobs)
        if (job.strJobId == strId)
            return true;
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QStringList lines = Lines(data, size);
    const QList<stJobState> first = ParseJobListing(lines, {}, [](const stJobState&) {
        ovrafuzz::Fail("cancel without a job seen printing");
    });
    CheckPrinting(first);

    const QList<stJobState> second = ParseJobListing(lines, first, [&first](const stJobState& job) {
        ovrafuzz::Check(job.iJobStatus == en_Job_CanceledByUser && WasPrinting(first, job.strJobId),
                        "cancel for a job not seen printing");
    });
    CheckPrinting(second);
    ovrafuzz::Check(second.size() == first.size(), "the same listing keeps other jobs");
    return 0;
}
