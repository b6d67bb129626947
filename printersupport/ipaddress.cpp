#include "ipaddress.h"

#include <QRegExp>

bool IsIPValid(const QString& strAddress)
{
    // Compiled once per thread (a QRegExp keeps its match state, so threads cannot share
    // one): a settings reply checks up to a dozen addresses, the service one per poll.
    thread_local QRegExp rx("((2[0-4]\\d|25[0-5]|[01]?\\d\\d?)\\.){3}(2[0-4]\\d|25[0-5]|[01]?\\d\\d?)",
                            Qt::CaseSensitive);
    return rx.exactMatch(strAddress);
}
