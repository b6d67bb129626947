// One request/reply exchange with a network printer: a UDP datagram to port 9300,
// then at most one reply, awaited for 2 seconds. Each exchange has its own socket.
#pragma once

#include <QString>

#include <functional>

enum enUdpResult {
    en_Udp_OK = 0,
    en_Udp_BadAddress = -1,
    en_Udp_NoSocket = -2,
    en_Udp_SendFailed = -3,
    en_Udp_NoTimeout = -4,
    en_Udp_NoReply = -5, // status exchange only
};

const unsigned short c_usPrinterUdpPort = 9300;
const int c_iUdpStatusBufferSize = 2048;
extern const unsigned char c_byUdpStatusRequest[15];

// General exchange: sends the request, receives once into reply (at most replyCapacity
// bytes). *pReplyLength gets the byte count, or -1 when nothing came within 2 s.
// Returns 0 once the datagram was sent, or a negative enUdpResult.
int UDPSendRecvData(const QString& strAddress, const unsigned char* pRequest, int iRequestLength, unsigned char* pReply,
                    int iReplyCapacity, int* pReplyLength);

// Status exchange: sends the status request; a reply of 8 bytes or more goes to
// onReply, whose result is returned. No or a shorter reply gives -5.
using UdpStatusHandler = std::function<int(const unsigned char* pReply, int iLength)>;
int UDPGetPrinterStatus(const QString& strAddress, const UdpStatusHandler& onReply);
