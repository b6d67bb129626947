#include "joblisting.h"

namespace {

bool IsAlertLine(const QString& line)
{
    return line.startsWith("Alerts:") || line.startsWith(QString::fromUtf8("警告"))
           || line.startsWith(QString::fromUtf8("Предупреждения"));
}

bool IsStatusLine(const QString& line)
{
    return line.startsWith("Status:") || line.startsWith(QString::fromUtf8("状态"))
           || line.startsWith(QString::fromUtf8("Статус"));
}

bool WasPrinting(const QList<stJobState>& listPrevious, const QString& strJobId)
{
    for (const stJobState& job : listPrevious) {
        if (job.strJobId == strJobId && job.iJobStatus == en_Job_Printing)
            return true;
    }
    return false;
}

} // namespace

QList<stJobState> ParseJobListing(const QStringList& lines, const QList<stJobState>& listPrevious,
                                  const JobCanceledFn& onCanceled)
{
    QList<stJobState> listResult;
    stJobState current;
    bool bProcessing = false;
    for (const QString& raw : lines) {
        if (!raw.startsWith('\t')) {
            const QStringList parts = raw.trimmed().split(' ', Qt::SkipEmptyParts);
            if (parts.size() > 3) {
                current.strJobId = parts.first();
                current.iJobStatus = en_Job_HeaderOnly;
                bProcessing = false;
            }
            continue;
        }
        const QString line = raw.trimmed();
        if (IsAlertLine(line)) {
            if (line.contains("none")) {
                current.iJobStatus = en_Job_AlertNone;
            } else if (line.contains("job-printing")) {
                current.iJobStatus = en_Job_Printing;
                listResult.append(current);
            } else if (line.contains("job-canceled-by-user")) {
                current.iJobStatus = en_Job_CanceledByUser;
                if (onCanceled && WasPrinting(listPrevious, current.strJobId))
                    onCanceled(current);
            } else if (bProcessing) {
                current.iJobStatus = en_Job_Printing;
                listResult.append(current);
            } else {
                current.iJobStatus = en_Job_OtherAlert;
            }
        } else if (IsStatusLine(line) && line.contains("Processing")) {
            bProcessing = true;
        }
    }
    return listResult;
}
