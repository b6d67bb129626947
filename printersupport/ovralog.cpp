#include "ovralog.h"

#include "filemodes.h"
#include "ovraprogram.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <fcntl.h>
#include <unistd.h>

#pragma GCC diagnostic ignored "-Wformat-nonliteral"

namespace {

const qint64 c_iLogFileLimit = 1048576;
const int c_iMessageBufferSize = 1024;

std::atomic<bool> g_bLogEnabled{false};
int g_iFileIndex = 0;
QString g_strSeriesBase;
QString g_strCurrentFile;
std::mutex g_logMutex; // not a QMutex: ThreadSanitizer sees a std::mutex lock

QString FileNameForIndex(int index) { return g_strSeriesBase + QString::number(index) + ".log"; }

void RollOverIfFull()
{
    if (QFileInfo(g_strCurrentFile).size() > c_iLogFileLimit) {
        ++g_iFileIndex;
        g_strCurrentFile = FileNameForIndex(g_iFileIndex);
    }
}

// A new log file is created 0644 whatever the umask, and never through a link that
// someone put in its place (tool/ is shared by every user).
void AppendLine(const QByteArray& line)
{
    const int fd = ::open(QFile::encodeName(g_strCurrentFile).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, c_iPublicFileMode);
    if (fd < 0)
        return;
    QFile file;
    if (file.open(fd, QIODevice::WriteOnly | QIODevice::Append, QFileDevice::AutoCloseHandle))
        file.write(line);
    else
        ::close(fd);
}

} // namespace

void SetLogEnable(bool bEnable)
{
    std::lock_guard<std::mutex> locker(g_logMutex); // other threads may be writing lines
    g_bLogEnabled = bEnable;
    if (bEnable) {
        g_iFileIndex = 0;
        const QString strDir = OvraProgramLogDir();
        QDir().mkpath(strDir);
        g_strSeriesBase = strDir + OvraProgramLogPrefix() + QDateTime::currentDateTime().toString("_yyyyMMdd_hhmmss_");
        g_strCurrentFile = FileNameForIndex(g_iFileIndex);
    } else if (!g_strCurrentFile.isNull()) {
        g_strCurrentFile = QString();
    }
}

bool IsLogEnabled() { return g_bLogEnabled; }

bool EnableLogOnRequest()
{
    if (qgetenv("OVRA_DEBUG_LOG") != "1")
        return false;
    SetLogEnable(true);
    return true;
}

QString CurrentLogFileName()
{
    std::lock_guard<std::mutex> locker(g_logMutex);
    return g_strCurrentFile;
}

void WriteStringLogV(const char* file, int line, const char* function, const char* format, ...)
{
    if (!g_bLogEnabled)
        return;
    std::lock_guard<std::mutex> locker(g_logMutex);
    if (g_strCurrentFile.isEmpty())
        return;

    char szMessage[c_iMessageBufferSize] = {0};
    va_list args;
    va_start(args, format);
    vsnprintf(szMessage, sizeof(szMessage), format, args);
    va_end(args);

    QString strLine = QDateTime::currentDateTime().toString("[yyyy-MM-dd hh:mm:ss.zzz] (");
    strLine += QString::fromLocal8Bit(file) + "@" + QString::number(line) + " " + QString::fromLocal8Bit(function)
               + ") " + QString::fromLocal8Bit(szMessage) + "\n";

    RollOverIfFull();
    AppendLine(strLine.toLocal8Bit());
}
