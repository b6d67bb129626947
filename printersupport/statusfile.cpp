#include "statusfile.h"

#include "ovrapaths.h"
#include "utilprinterstatus.h"

#include <QFile>

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
