#include "checkisrunning.h"

#include "commandrunner.h"
#include "ovrapaths.h"
#include "ovraprogram.h"
#include "utilthreadbase.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QStringList>

#include <unistd.h>

namespace {

const int c_iProcessNameLength = 15; // the kernel keeps this much of a command name

QString ScratchFile()
{
    return OvraPaths::TempDir() + "pslist." + QDateTime::currentDateTime().toString("yyyyMMddhhmmss");
}

} // namespace

int CountProcessLines(const QString& strListing, const QString& strName)
{
    int iCount = 0;
    for (const QString& strLine : strListing.split('\n')) {
        if (!strLine.contains(strName)) // the listing is first narrowed like "grep name"
            continue;
        const QStringList parts = strLine.split(' ', Qt::SkipEmptyParts);
        if (parts.size() > 3 && parts.at(3).trimmed().compare(strName, Qt::CaseInsensitive) == 0)
            ++iCount;
    }
    return iCount;
}

// The tray runs as the desktop user and its folder is shared by every user of the
// machine: it reads the listing through a pipe and never writes a file another user
// could have put a link in its place. It is one per user, so that each user logged in
// at the same time has a monitor: it lists only the processes of its own user, in the
// same layout. The service, one per machine, keeps its scratch file in temp/.
static QString ProcessListing()
{
    if (GetOvraProgram() == en_Program_PrinterTool)
        return QString::fromLocal8Bit(
            RunCommandOutput("ps", QStringList() << "-u" << QString::number(geteuid()), 10000));
    const QString strScratch = ScratchFile();
    MakePathExist(OvraPaths::TempDir());
    RunCommandToFile("ps", QStringList() << "-A", strScratch, 10000);
    QFile file(strScratch);
    QString strListing;
    if (file.open(QIODevice::ReadOnly | QIODevice::Text))
        strListing = QString::fromLocal8Bit(file.readAll());
    file.close();
    QFile::remove(strScratch);
    return strListing;
}

bool CheckIsRunning()
{
    const QString strName = QCoreApplication::applicationName().left(c_iProcessNameLength);
    return CountProcessLines(ProcessListing(), strName) > 1;
}
