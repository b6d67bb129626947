// Datagrams in test failure messages, as hex.
#pragma once

#include <QByteArray>
#include <QTest>

#include <cstdint>
#include <vector>

inline QByteArray Hex(const std::vector<uint8_t>& bytes)
{
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), int(bytes.size())).toHex(' ');
}

namespace QTest {
template <>
inline char* toString(const std::vector<uint8_t>& bytes)
{
    return qstrdup(Hex(bytes).constData());
}
} // namespace QTest
