#include "udpchannel.h"

#include "ipaddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>

const unsigned char c_byUdpStatusRequest[15] = {0xA5, 0x00, 0x0C, 0x50, 0xE0, 0x74, 0x08, 0x03,
                                                0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

namespace {

const int c_iReplyTimeoutSeconds = 2;

// Closes the socket on every path.
class UdpSocket
{
public:
    UdpSocket() : m_fd(socket(AF_INET, SOCK_DGRAM, 0)) {}
    ~UdpSocket()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

bool MakeDestination(const QString& strAddress, sockaddr_in& dest)
{
    std::memset(&dest, 0, sizeof(dest));
    dest.sin_family = AF_INET;
    dest.sin_port = htons(c_usPrinterUdpPort);
    return inet_pton(AF_INET, strAddress.toLatin1().constData(), &dest.sin_addr) == 1;
}

// Sends one datagram and receives at most one reply. Returns 0 or a negative enUdpResult.
int Exchange(const sockaddr_in& dest, const unsigned char* pRequest, int iRequestLength, unsigned char* pReply,
             int iReplyCapacity, int* pReplyLength)
{
    UdpSocket sock;
    if (sock.fd() < 0)
        return en_Udp_NoSocket;
    const ssize_t sent =
        sendto(sock.fd(), pRequest, size_t(iRequestLength), 0, reinterpret_cast<const sockaddr*>(&dest), sizeof(dest));
    if (sent != iRequestLength)
        return en_Udp_SendFailed;
    timeval timeout{c_iReplyTimeoutSeconds, 0};
    if (setsockopt(sock.fd(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout)) != 0)
        return en_Udp_NoTimeout;
    *pReplyLength = int(recvfrom(sock.fd(), pReply, size_t(qMax(iReplyCapacity, 0)), 0, nullptr, nullptr));
    return en_Udp_OK;
}

} // namespace

int UDPSendRecvData(const QString& strAddress, const unsigned char* pRequest, int iRequestLength, unsigned char* pReply,
                    int iReplyCapacity, int* pReplyLength)
{
    sockaddr_in dest;
    // inet_pton also refuses what the pattern lets through ("010.1.1.1"), which would
    // otherwise leave the destination at 0.0.0.0.
    if (!IsIPValid(strAddress) || !MakeDestination(strAddress, dest))
        return en_Udp_BadAddress;
    if (!pRequest || iRequestLength < 0)
        return en_Udp_SendFailed;
    int iReplyLength = -1;
    const int iResult = Exchange(dest, pRequest, iRequestLength, pReply, pReply ? iReplyCapacity : 0, &iReplyLength);
    if (pReplyLength)
        *pReplyLength = iReplyLength;
    return iResult;
}

int UDPGetPrinterStatus(const QString& strAddress, const UdpStatusHandler& onReply)
{
    sockaddr_in dest;
    if (strAddress.isEmpty() || !MakeDestination(strAddress, dest))
        return en_Udp_BadAddress;
    unsigned char byReply[c_iUdpStatusBufferSize] = {0};
    int iReplyLength = -1;
    const int iResult =
        Exchange(dest, c_byUdpStatusRequest, sizeof(c_byUdpStatusRequest), byReply, sizeof(byReply), &iReplyLength);
    if (iResult != en_Udp_OK)
        return iResult;
    if (iReplyLength <= 7)
        return en_Udp_NoReply;
    return onReply ? onReply(byReply, iReplyLength) : en_Udp_OK;
}
