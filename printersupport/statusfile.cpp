#include "statusfile.h"

#include "filemodes.h"
#include "ovrapaths.h"
#include "utilprinterstatus.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

bool WriteStatusFile(const QString& strQueue, const unsigned char* pBuffer, int iLength)
{
    QDir().mkpath(OvraPaths::CfgDir());
    QSaveFile file(OvraPaths::StatusFile(strQueue));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(c_publicFilePermissions);
    file.write(reinterpret_cast<const char*>(pBuffer), iLength);
    return file.commit();
}

bool StatusFileExists(const QString& strQueue) { return QFile::exists(OvraPaths::StatusFile(strQueue)); }

bool RemoveStatusFile(const QString& strQueue) { return QFile::remove(OvraPaths::StatusFile(strQueue)); }

bool ReadStatusFileBytes(const QString& strQueue, QByteArray& bytes)
{
    QFile file(OvraPaths::StatusFile(strQueue));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    bytes = file.read(c_iStatusFileMaxBytes);
    return true;
}

bool ReadStatusFile(const QString& strQueue, stPrinterState& state)
{
    QByteArray bytes;
    return ReadStatusFileBytes(strQueue, bytes) && DecodePrinterStatus(bytes, state);
}
