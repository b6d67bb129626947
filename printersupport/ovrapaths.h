// Files and folders of the suite under the install root, and the CUPS files it reads.
#pragma once

#include <QString>

namespace OvraPaths {

QString InstallRoot(); // ends in '/'
QString BinDir();      // bin/
QString CfgDir();      // cfg/
QString LogDir();      // log/
QString ToolDir();     // tool/
QString TempDir();     // temp/
QString ScanDir();     // scan/

QString PrinterListFile();                    // cfg/printerlist.ini
QString StatusFile(const QString& queueName); // cfg/<queue>.dat
QString HeartbeatFile();                      // cfg/service.hb

QString CupsServerRoot();                      // ends in '/'
QString CupsPrintersConf();                    // printers.conf
QString CupsPpdFile(const QString& queueName); // ppd/<queue>.ppd

} // namespace OvraPaths
