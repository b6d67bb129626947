#include "printerinfo.h"

#include "filemodes.h"
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

void OpenListSettings(QSettings& settings) { settings.setIniCodec(QTextCodec::codecForName("utf-8")); }

QString GroupName(int index) { return QString::asprintf("printer_%d", index); }

// With a codec, QSettings writes a text value one UTF-16 unit at a time and so drops every
// character beyond the Basic Multilingual Plane (a surrogate pair), such as an emoji in a
// queue name. Such a value is written as its UTF-8 bytes; a reader's toString() turns
// them back into the same text.
QVariant TextValue(const QString& text)
{
    for (const QChar c : text) {
        if (c.isSurrogate())
            return text.toUtf8();
    }
    return text;
}

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
            settings.setValue("Name", TextValue(info.strName));
            settings.setValue("Model", TextValue(info.enType));
            settings.setValue("ConnectType", QString::number(info.iConnectType));
            settings.setValue("Port", TextValue(info.strPort));
            settings.setValue("URI", TextValue(info.strURI));
            settings.endGroup();
        }
        settings.sync();
        status = settings.status();
    }
    QFile::setPermissions(strFile, c_publicFilePermissions);
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
