// Requests and faulty replies as the suite's own status decoder sees them: only the
// exact request counts, short and garbage replies never decode, normal ones do.
#include "bytestostring.h"

#include "replyshaper.h"
#include "statusrequest.h"
#include "utilprinterstatus.h"

#include <algorithm>

using namespace ovraemu;

namespace {

std::vector<uint8_t> PrinterReply()
{
    EmuPrinterState state;
    state.product = "Ovra P2200DN";
    state.statusCode = 0x10;
    state.errors = {0x11A0};
    state.SetCounter(0x1000, 42);
    return BuildUdpStatusReply(state);
}

bool Decodes(const std::vector<uint8_t>& bytes)
{
    stPrinterState state;
    return DecodePrinterStatus(bytes.data(), bytes.size(), state);
}

} // namespace

class TestNetReplies : public QObject
{
    Q_OBJECT

private slots:
    void normalRepliesDecode()
    {
        std::mt19937 random(1);
        const std::vector<uint8_t> reply = ShapeReply(NetReplyMode::Normal, PrinterReply(), random);
        QCOMPARE(reply, PrinterReply());
        UtilPrinterStatus status;
        QVERIFY(status.parseRecvBuf(reply.data(), reply.size()));
        QVERIFY(status.strProductName == "Ovra P2200DN" && *status.getPrinterStatusValue() == 0x10);
        QVERIFY(status.listErrorCodes == QList<quint16>{0x11A0} && status.dwRemainingToner == 42);
    }

    void faultyRepliesNeverDecode()
    {
        std::mt19937 random(2);
        const std::vector<uint8_t> full = PrinterReply();
        std::vector<int> shortLengths(8, 0);
        size_t longestGarbage = 0;
        for (int i = 0; i < 300; ++i) {
            const std::vector<uint8_t> cut = ShapeReply(NetReplyMode::Short, full, random);
            QVERIFY2(!cut.empty() && cut.size() <= 7 && std::equal(cut.begin(), cut.end(), full.begin()),
                     Hex(cut).constData());
            QVERIFY2(!Decodes(cut), Hex(cut).constData());
            ++shortLengths[std::min<size_t>(cut.size(), 7)];
            const std::vector<uint8_t> garbage = ShapeReply(NetReplyMode::Garbage, full, random);
            QVERIFY2(garbage.size() >= 8 && garbage[0] != 0xA5 && !Decodes(garbage), Hex(garbage).constData());
            longestGarbage = std::max(longestGarbage, garbage.size());
        }
        QCOMPARE(std::count(shortLengths.begin() + 1, shortLengths.end(), 0), 0L); // every length 1..7 occurs
        // Long enough to pass a length check, so the decoder has to walk the fields.
        QVERIFY(longestGarbage > UtilPrinterStatus::c_ulMinimalResponse);
        QVERIFY(ShapeReply(NetReplyMode::Short, {0xA5, 0x00}, random).size() <= 2);
        QVERIFY(ShapeReply(NetReplyMode::Silent, full, random).empty());
        for (NetReplyMode mode : {NetReplyMode::Normal, NetReplyMode::Short, NetReplyMode::Garbage})
            QVERIFY(ShapeReply(mode, {}, random).empty()); // no reply stays no reply
    }

    void onlyTheExactRequestIsAStatusRequest()
    {
        const std::vector<uint8_t> request = {0xA5, 0x00, 0x0C, 0x50, 0xE0, 0x74, 0x08, 0x03,
                                              0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
        QVERIFY(IsStatusRequest(request));
        for (size_t i = 0; i < request.size(); ++i) {
            std::vector<uint8_t> changed = request;
            changed[i] ^= 0x01;
            QVERIFY2(!IsStatusRequest(changed), QByteArray::number(int(i)));
        }
        QVERIFY(!IsStatusRequest(std::vector<uint8_t>(request.begin(), request.end() - 1)) && !IsStatusRequest({}));
    }
};

QTEST_GUILESS_MAIN(TestNetReplies)
#include "tst_netreplies.moc"
