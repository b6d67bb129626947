#include "ipaddress.h"

#include <QRegExp>

bool IsIPValid(const QString& strAddress)
{
    static const QString c_strPattern =
        "((2[0-4]\\d|25[0-5]|[01]?\\d\\d?)\\.){3}(2[0-4]\\d|25[0-5]|[01]?\\d\\d?)";
    QRegExp rx(c_strPattern, Qt::CaseSensitive);
    return rx.exactMatch(strAddress);
}
