#include "checkisrunning.h"

#include "commandrunner.h"
#include "ovrapaths.h"
#include "ovraprogram.h"
#include "utilthreadbase.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QStringList>

namespace {

const int c_iProcessNameLength = 15;   // the kernel keeps this much of a command name

QString ScratchFile()
{
    if (GetOvraProgram() == en_Program_PrinterTool)
        return OvraPaths::ToolDir() + "pslist.tmp";
    return OvraPaths::TempDir() + "pslist." + QDateTime::currentDateTime().toString("yyyyMMddhhmmss");
}

} // namespace

int CountProcessLines(const QString& strListing, const QString& strName)
{
    int iCount = 0;
    for (const QString& strLine : strListing.split('\n')) {
        if (!strLine.contains(strName))   // the listing is first narrowed like "grep name"
            continue;
        const QStringList parts = strLine.split(' ', Qt::SkipEmptyParts);
        if (parts.size() > 3 && parts.at(3).trimmed().compare(strName, Qt::CaseInsensitive) == 0)
            ++iCount;
    }
    return iCount;
}

bool CheckIsRunning()
{
    const QString strScratch = ScratchFile();
    MakePathExist(strScratch.left(strScratch.lastIndexOf('/') + 1));
    const QString strName = QCoreApplication::applicationName().left(c_iProcessNameLength);

    RunCommandToFile("ps", QStringList() << "-A", strScratch, 10000);
    QFile file(strScratch);
    QString strListing;
    if (file.open(QIODevice::ReadOnly | QIODevice::Text))
        strListing = QString::fromLocal8Bit(file.readAll());
    file.close();
    QFile::remove(strScratch);
    return CountProcessLines(strListing, strName) > 1;
}
