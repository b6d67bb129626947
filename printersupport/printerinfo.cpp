#include "printerinfo.h"

#include "ovrapaths.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTextCodec>

namespace {

// Only the service writes the list; every other program (and user) reads it.
// A damaged "Count" must not make a reader build (and its caller start workers for)
// millions of empty printers; no desk has this many queues of one maker.
const int c_iMaxListCount = 256;

const QFileDevice::Permissions c_listFileMode =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;

void OpenListSettings(QSettings& settings)
{
    settings.setIniCodec(QTextCodec::codecForName("utf-8"));
}

QString GroupName(int index) { return QString::asprintf("printer_%d", index); }

} // namespace

bool stPrinterInfo::operator==(const stPrinterInfo& other) const
{
    return strName == other.strName && enType == other.enType && iConnectType == other.iConnectType
           && strPort == other.strPort && strURI == other.strURI;
}

bool SavePrinterInfo(const QList<stPrinterInfo>& listPrinter, bool bForce)
{
    const QString strFile = OvraPaths::PrinterListFile();
    QDir().mkpath(OvraPaths::CfgDir());
    if (!bForce && QFile::exists(strFile))
        return true;

    QSettings::Status status;
    {
        QSettings settings(strFile, QSettings::IniFormat);
        OpenListSettings(settings);
        settings.setValue("Main/Count", QString::number(listPrinter.size()));
        for (int i = 0; i < listPrinter.size(); ++i) {
            const stPrinterInfo& info = listPrinter.at(i);
            settings.beginGroup(GroupName(i));
            settings.setValue("Name", info.strName);
            settings.setValue("Model", info.enType);
            settings.setValue("ConnectType", QString::number(info.iConnectType));
            settings.setValue("Port", info.strPort);
            settings.setValue("URI", info.strURI);
            settings.endGroup();
        }
        settings.sync();
        status = settings.status();
    }
    QFile::setPermissions(strFile, c_listFileMode);
    return status == QSettings::NoError;
}

QList<stPrinterInfo> GetPrinterInfo()
{
    QList<stPrinterInfo> listPrinter;
    const QString strFile = OvraPaths::PrinterListFile();
    if (!QFile::exists(strFile))
        return listPrinter;

    QSettings settings(strFile, QSettings::IniFormat);
    OpenListSettings(settings);
    const int iCount = qMin(settings.value("Main/Count").toInt(), c_iMaxListCount);
    for (int i = 0; i < iCount; ++i) {
        stPrinterInfo info;
        settings.beginGroup(GroupName(i));
        info.strName = settings.value("Name").toString();
        info.enType = settings.value("Model").toString();
        info.iConnectType = settings.value("ConnectType").toInt();
        info.strPort = settings.value("Port").toString();
        info.strURI = settings.value("URI").toString();
        settings.endGroup();
        listPrinter.append(info);
    }
    return listPrinter;
}
