#include "cupsconfig.h"

#include "modelinfo.h"
#include "ovrapaths.h"

#include <QFile>
#include <QTextCodec>

namespace {

bool StartsWith(const QString& line, const char* prefix) { return line.startsWith(prefix, Qt::CaseInsensitive); }

QList<QByteArray> Lines(const QByteArray& content) { return content.split('\n'); }

QString DecodeLine(const QByteArray& raw) { return QTextCodec::codecForName("utf-8")->toUnicode(raw).trimmed(); }

// "<Printer name>": the text after the first blank without the closing '>'.
QString QueueName(const QString& line)
{
    const int blank = line.indexOf(' ');
    return blank < 0 ? QString() : line.mid(blank + 1).chopped(1);
}

// Host part of "socket://host:port".
QString NetworkHost(const QString& uri)
{
    const int start = uri.indexOf("://") + 3;
    const int colon = uri.indexOf(':', start);
    return colon < 0 ? uri.mid(start) : uri.mid(start, colon - start);
}

void TakeDeviceURI(const QString& line, stPrinterInfo& info)
{
    const int blank = line.indexOf(' ');
    if (blank < 0)
        return;
    const QString uri = line.mid(blank + 1);
    if (StartsWith(uri, "usb")) {
        info.iConnectType = en_Connect_USB;
        info.strPort = uri.mid(6);
        info.strURI = uri;
    } else if ((StartsWith(uri, "socket") || StartsWith(uri, "ovrasocket")) && uri.contains("://")) {
        info.iConnectType = en_Connect_Network;
        info.strPort = NetworkHost(uri);
        info.strURI = uri;
    }
}

bool ReadFile(const QString& path, QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    content = file.readAll();
    return true;
}

} // namespace

QList<stPrinterInfo> ParseCupsPrinters(const QByteArray& content, const DriverMatchFn& checkDriver)
{
    QList<stPrinterInfo> listPrinter;
    stPrinterInfo current;
    for (const QByteArray& raw : Lines(content)) {
        const QString line = DecodeLine(raw);
        if (StartsWith(line, "<Printer") || StartsWith(line, "<DefaultPrinter")) {
            current = stPrinterInfo();
            current.strName = QueueName(line);
        } else if (StartsWith(line, "DeviceURI")) {
            TakeDeviceURI(line, current);
        } else if (StartsWith(line, "</Printer>") || StartsWith(line, "</DefaultPrinter>")) {
            if (current.strName.isEmpty() || current.strURI.isEmpty())
                continue;
            if (!checkDriver || checkDriver(current.strName, current.enType))
                listPrinter.append(current);
        }
    }
    return listPrinter;
}

QList<stPrinterInfo> ReadCupsPrinters(bool bCheckDriver)
{
    QByteArray content;
    const QString path = OvraPaths::CupsPrintersConf();
    if (!ReadFile(path, content) && !ReadFile(path + ".O", content))
        return QList<stPrinterInfo>();
    return ParseCupsPrinters(content, bCheckDriver ? DriverMatchFn(CheckDriverMatch) : DriverMatchFn());
}

bool FindModelInPpd(const QByteArray& content, QString& strModel)
{
    for (const QByteArray& raw : Lines(content)) {
        const QString line = QString::fromUtf8(raw);
        if (!StartsWith(line, "*ModelName"))
            continue;
        const QStringList parts = line.split(':', Qt::SkipEmptyParts);
        if (parts.size() < 2)
            continue;
        QString name = parts.at(1).trimmed();
        if (name.startsWith('"'))
            name.remove(0, 1);
        if (name.endsWith('"'))
            name.chop(1);
        if (FindModelByDisplayName(name)) {
            strModel = name;
            return true;
        }
    }
    return false;
}

bool CheckDriverMatch(const QString& strQueue, QString& strModel)
{
    QByteArray content;
    return ReadFile(OvraPaths::CupsPpdFile(strQueue), content) && FindModelInPpd(content, strModel);
}
