#pragma once

#include <QString>

// True when the whole text is a dotted-quad IPv4 address ("192.168.0.10").
bool IsIPValid(const QString& strAddress);
