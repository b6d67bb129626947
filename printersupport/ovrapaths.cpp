#include "ovrapaths.h"

#include "ovrainstallroot.h"

namespace OvraPaths {

QString InstallRoot() { return QString::fromLocal8Bit(ovra_install_root().c_str()); }
QString BinDir() { return InstallRoot() + "bin/"; }
QString CfgDir() { return InstallRoot() + "cfg/"; }
QString LogDir() { return InstallRoot() + "log/"; }
QString ToolDir() { return InstallRoot() + "tool/"; }
QString TempDir() { return InstallRoot() + "temp/"; }
QString ScanDir() { return InstallRoot() + "scan/"; }

QString PrinterListFile() { return CfgDir() + "printerlist.ini"; }
QString StatusFile(const QString& queueName) { return CfgDir() + queueName + ".dat"; }
QString HeartbeatFile() { return CfgDir() + "service.hb"; }

QString CupsServerRoot() { return QString::fromLocal8Bit(ovra_cups_server_root().c_str()); }
QString CupsPrintersConf() { return CupsServerRoot() + "printers.conf"; }
QString CupsPpdFile(const QString& queueName) { return CupsServerRoot() + "ppd/" + queueName + ".ppd"; }

} // namespace OvraPaths
