#include "ovralog.h"

#include "ovraprogram.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>

#include <atomic>
#include <cstdarg>
#include <cstdio>

#pragma GCC diagnostic ignored "-Wformat-nonliteral"

namespace {

const qint64 c_iLogFileLimit = 1048576;
const int c_iMessageBufferSize = 1024;

std::atomic<bool> g_bLogEnabled{false};
int g_iFileIndex = 0;
QString g_strSeriesBase;
QString g_strCurrentFile;
QMutex g_logMutex;

QString FileNameForIndex(int index) { return g_strSeriesBase + QString::number(index) + ".log"; }

void RollOverIfFull()
{
    if (QFileInfo(g_strCurrentFile).size() > c_iLogFileLimit) {
        ++g_iFileIndex;
        g_strCurrentFile = FileNameForIndex(g_iFileIndex);
    }
}

void AppendLine(const QByteArray& line)
{
    QFile file(g_strCurrentFile);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        file.write(line);
}

} // namespace

void SetLogEnable(bool bEnable)
{
    g_bLogEnabled = bEnable;
    if (bEnable) {
        g_iFileIndex = 0;
        const QString strDir = OvraProgramLogDir();
        QDir().mkpath(strDir);
        g_strSeriesBase = strDir + OvraProgramLogPrefix()
                          + QDateTime::currentDateTime().toString("_yyyyMMdd_hhmmss_");
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
    QMutexLocker locker(&g_logMutex);
    return g_strCurrentFile;
}

void WriteStringLogV(const char* file, int line, const char* function, const char* format, ...)
{
    if (!g_bLogEnabled)
        return;
    QMutexLocker locker(&g_logMutex);
    if (g_strCurrentFile.isEmpty())
        return;

    char szMessage[c_iMessageBufferSize] = {0};
    va_list args;
    va_start(args, format);
    vsnprintf(szMessage, sizeof(szMessage), format, args);
    va_end(args);

    QString strLine = QDateTime::currentDateTime().toString("[yyyy-MM-dd hh:mm:ss.zzz] (");
    strLine += QString::fromLocal8Bit(file) + "@" + QString::number(line) + " "
               + QString::fromLocal8Bit(function) + ") " + QString::fromLocal8Bit(szMessage) + "\n";

    RollOverIfFull();
    AppendLine(strLine.toLocal8Bit());
}
