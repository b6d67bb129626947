// The network page's frames without a printer: the requests byte for byte, block
// header removal, the record parser on well-formed and malformed replies, and the
// calibration values request.
#include "maintenancerequests.h"
#include "netform.h"
#include "settingsrecords.h"
#include "settingsresponder.h"

#include <QtTest>

#include <random>

using ovraemu::SettingsPayload;
using ovraemu::SettingsRecord;
using ovraemu::SplitIntoBlocks;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes FromHex(const char* hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex);
    return Bytes(bytes.begin(), bytes.end());
}

// A read request of the tag block, as the page builds it.
Bytes ReadRequestOf(int iBlock)
{
    unsigned char request[c_iReadRequestLength] = {0};
    int iLength = 0;
    NetForm::ReadRequest(iBlock, request, &iLength);
    return Bytes(request, request + iLength);
}

bool Parse(Bytes reply, stIPInfo* info) { return NetForm::ParseRecvData(reply.data(), int(reply.size()), info); }

Bytes Reply(const std::vector<Bytes>& records) { return SplitIntoBlocks(SettingsPayload(0x02, 0, records)); }

Bytes Calibration(const QVector<int>& chosen)
{
    unsigned char request[c_iCalibrationValuesRequestLength] = {0};
    CalibrationValuesRequest(chosen, request);
    return Bytes(request, request + sizeof(request));
}

stIPInfo SampleSettings()
{
    stIPInfo info;
    info.iIPMode = c_iIPModeStatic;
    info.strIPAddress = "192.168.1.20";
    info.strSubnetMask = "255.255.255.0";
    info.strGateway = "192.168.1.1";
    info.strPrimaryDNS = "8.8.8.8";
    info.strSecondaryDNS = "8.8.4.4";
    info.strPrimaryWINS = "10.0.0.5";
    info.strSecondaryWINS = "010.0.0.6";
    return info;
}

Bytes Write(const stIPInfo& info, bool* pbOk = nullptr)
{
    unsigned char request[c_iPrinterReplySize];
    memset(request, 0xEE, sizeof(request));
    int iLength = 0;
    const bool bOk = NetForm::WriteSendData(info, request, &iLength);
    if (pbOk)
        *pbOk = bOk;
    return Bytes(request, request + iLength);
}

} // namespace

class TestNetRecords : public QObject
{
    Q_OBJECT
private slots:
    void probeAndReadRequests()
    {
        unsigned char probe[c_iProbeRequestLength];
        int iLength = 0;
        NetForm::ProbeRequest(probe, &iLength);
        QCOMPARE(Bytes(probe, probe + iLength), FromHex("A5000B50E0B202000001000163 74"));
        QCOMPARE(ReadRequestOf(1), FromHex("A5001950E0B2020000010008"
                                           "4000400140024003400440054006 4007"));
        QCOMPARE(ReadRequestOf(0), FromHex("A5001950E0B2020000010008"
                                           "4010401140124013401440154016 4017"));
        QCOMPARE(ovraemu::ClassifySettingsRequest(ReadRequestOf(0)), ovraemu::SettingsRequestKind::Read);
    }

    void writeRequestByteForByte()
    {
        bool bOk = false;
        QCOMPARE(Write(SampleSettings(), &bOk), FromHex("A5004850E0B2030009"
                                                        "4000000101"
                                                        "40010004C0A80114"
                                                        "40020004FFFFFF00"
                                                        "40030004C0A80101"
                                                        "4004000408080808"
                                                        "4005000408080404"
                                                        "400600040A000005"
                                                        "400700040A000006"
                                                        "400F000100"));
        QVERIFY(bOk);

        // Block 0: 0x10 on the second byte of every tag, nothing else.
        stIPInfo block0 = SampleSettings();
        block0.iTagBlock = 0;
        const Bytes request = Write(block0);
        QCOMPARE(int(request.size()), c_iWriteRequestLength);
        const Bytes block1 = Write(SampleSettings());
        for (size_t tag : {9u, 14u, 22u, 30u, 38u, 46u, 54u, 62u, 70u}) {
            QCOMPARE(request[tag], uint8_t(0x40));
            QCOMPARE(request[tag + 1], uint8_t(block1[tag + 1] + 0x10));
        }
        Bytes withoutTags = request;
        Bytes block1WithoutTags = block1;
        for (size_t tag : {10u, 15u, 23u, 31u, 39u, 47u, 55u, 63u, 71u})
            withoutTags[tag] = block1WithoutTags[tag] = 0;
        QCOMPARE(withoutTags, block1WithoutTags);
    }

    void writeOfAFreshDhcpPage()
    {
        stIPInfo fresh;
        fresh.iIPMode = c_iIPModeDHCP;
        for (int k = 1; k <= c_iAddressCount; ++k)
            fresh.Address(k) = "0.0.0.0";
        QCOMPARE(Write(fresh), FromHex("A5004850E0B2030009"
                                       "4000000100"
                                       "4001000400000000"
                                       "4002000400000000"
                                       "4003000400000000"
                                       "4004000400000000"
                                       "4005000400000000"
                                       "4006000400000000"
                                       "4007000400000000"
                                       "400F000100"));
    }

    void writeWithABadAddressReportsIt()
    {
        stIPInfo info = SampleSettings();
        info.strGateway = "192.168.1.256";
        bool bOk = true;
        Write(info, &bOk);
        QVERIFY(!bOk);
        unsigned char buffer[4] = {1, 2, 3, 4};
        QVERIFY(!NetForm::FormatIPData("1.2.3", buffer, 0));
        QVERIFY(!NetForm::FormatIPData("a.b.c.d", buffer, 0));
        QCOMPARE(Bytes(buffer, buffer + 4), Bytes({1, 2, 3, 4}));
        QVERIFY(NetForm::FormatIPData("255.0.10.9", buffer, 0));
        QCOMPARE(Bytes(buffer, buffer + 4), Bytes({255, 0, 10, 9}));
    }

    void blockHeadersAreRemoved()
    {
        // 1024 bytes, all sixteen blocks starting with A5: 944 payload bytes.
        Bytes payload(944);
        for (size_t i = 0; i < payload.size(); ++i)
            payload[i] = uint8_t(i % 251 == 0 ? 0xA5 : i % 251);
        const Bytes reply = SplitIntoBlocks(payload);
        QCOMPARE(reply.size(), size_t(1024));
        Bytes out(reply.size());
        int iLength = 0;
        Bytes copy = reply;
        QVERIFY(NetForm::FormatRecvData(copy.data(), int(copy.size()), out.data(), &iLength));
        QCOMPARE(iLength, 944);
        out.resize(size_t(iLength));
        QCOMPARE(out, payload);

        // A block that does not start with A5 is copied whole.
        Bytes mixed = reply;
        mixed[64] = 0x00;
        QVERIFY(NetForm::FormatRecvData(mixed.data(), int(mixed.size()), out.data(), &iLength));
        QCOMPARE(iLength, 949);

        // A header cut short at the end of the reply.
        Bytes shortTail(reply.begin(), reply.begin() + 66);
        QVERIFY(NetForm::FormatRecvData(shortTail.data(), int(shortTail.size()), out.data(), &iLength));
        QCOMPARE(iLength, 59);

        // Rejected: 6 bytes or fewer, or no A5 first.
        Bytes six = FromHex("A5000450E0B2");
        QVERIFY(!NetForm::FormatRecvData(six.data(), 6, out.data(), &iLength));
        Bytes noStart = reply;
        noStart[0] = 0xA4;
        QVERIFY(!NetForm::FormatRecvData(noStart.data(), int(noStart.size()), out.data(), &iLength));
    }

    void readRepliesOfBothTagBlocks()
    {
        for (int iBlock : {1, 0}) {
            ovraemu::SettingsResponder printer;
            printer.SetModeText(std::string("Static"));
            const char* addresses[7] = {"192.168.3.7", "255.255.0.0", "192.168.3.1", "1.1.1.1",
                                        "9.9.9.9",     "10.1.1.1",    "10.1.1.2"};
            for (int k = 1; k <= 7; ++k)
                printer.SetAddress(k, addresses[k - 1]);
            const ovraemu::SettingsReply reply = printer.Answer(ReadRequestOf(iBlock));
            QVERIFY(reply);
            stIPInfo info;
            QVERIFY(Parse(*reply, &info));
            QCOMPARE(info.iIPMode, c_iIPModeStatic);
            for (int k = 1; k <= 7; ++k)
                QCOMPARE(info.Address(k), QString(addresses[k - 1]));
            QCOMPARE(info.iTagBlock, 1); // no probe record: as it was
        }
    }

    void probeAnswerSetsTheTagBlock()
    {
        stIPInfo info;
        info.iTagBlock = 0;
        QVERIFY(Parse(Reply({SettingsRecord(ovraemu::kTagProbe, "V2")}), &info));
        QCOMPARE(info.iTagBlock, 1);
        QVERIFY(Parse(Reply({SettingsRecord(ovraemu::kTagProbe, "")}), &info));
        QCOMPARE(info.iTagBlock, 0);
        // Text up to the first zero: a value of zeros is empty.
        QVERIFY(Parse(Reply({ovraemu::LongRecord(ovraemu::kTagProbe, Bytes(5, 0))}), &info));
        QCOMPARE(info.iTagBlock, 0);
        // A reply with no record at all fails and leaves the block as it was.
        stIPInfo fresh;
        QVERIFY(!Parse(Reply({}), &fresh));
        QCOMPARE(fresh.iTagBlock, 1);
    }

    void badValuesFailTheParse()
    {
        stIPInfo info;
        QVERIFY(!Parse(Reply({SettingsRecord(0x4000, "Manual")}), &info));
        QCOMPARE(info.iIPMode, c_iIPModeUnknown);
        QVERIFY(!Parse(Reply({SettingsRecord(0x4010, "dhcp")}), &info));
        QVERIFY(!Parse(Reply({SettingsRecord(0x4001, "192.168.1")}), &info));
        QVERIFY(!Parse(Reply({SettingsRecord(0x4011, "printer.local")}), &info));
        QVERIFY(!Parse(Reply({SettingsRecord(0x4008, "1.2.3.4")}), &info)); // unknown tag
        QVERIFY(!Parse(Reply({SettingsRecord(0x0000, "")}), &info));
        QVERIFY(info.strIPAddress.isEmpty());

        // Records before the failing one keep what they set.
        QVERIFY(!Parse(Reply({SettingsRecord(0x4000, "Static"), SettingsRecord(0x4001, "10.0.0.9"),
                              SettingsRecord(0x4002, "300.0.0.0"), SettingsRecord(0x4003, "10.0.0.1")}),
                       &info));
        QCOMPARE(info.iIPMode, c_iIPModeStatic);
        QCOMPARE(info.strIPAddress, QString("10.0.0.9"));
        QVERIFY(info.strSubnetMask.isEmpty());
        QVERIFY(info.strGateway.isEmpty());
    }

    void missingRecordsLeaveFieldsAsTheyWere()
    {
        stIPInfo info;
        QVERIFY(Parse(Reply({SettingsRecord(0x4013, "10.9.8.7")}), &info));
        QCOMPARE(info.iIPMode, c_iIPModeUnknown);
        QCOMPARE(info.strGateway, QString("10.9.8.7"));
        QVERIFY(info.strIPAddress.isEmpty());
        // Without zero terminator, both blocks mixed in one reply.
        QVERIFY(Parse(Reply({SettingsRecord(0x4010, "DHCP", false), SettingsRecord(0x4001, "1.2.3.4", false)}), &info));
        QCOMPARE(info.iIPMode, c_iIPModeDHCP);
        QCOMPARE(info.strIPAddress, QString("1.2.3.4"));
    }

    void recordsRunningPastThePayloadFail()
    {
        const Bytes whole =
            SettingsPayload(0x02, 2, {SettingsRecord(0x4000, "DHCP"), SettingsRecord(0x4001, "1.2.3.4")});
        const size_t firstEnd = 6 + 18 + 5;
        // Every cut: only the record boundaries parse.
        for (size_t cut = 0; cut <= whole.size(); ++cut) {
            const Bytes reply = SplitIntoBlocks(Bytes(whole.begin(), whole.begin() + long(cut)));
            stIPInfo info;
            const bool bOk = Parse(reply, &info);
            QCOMPARE(bOk, cut == firstEnd || cut == whole.size());
        }
        // A length field pointing far beyond the reply.
        Bytes record = SettingsRecord(0x4001, "1.2.3.4");
        record[12] = 0xFF;
        record[13] = 0xFF;
        stIPInfo info;
        QVERIFY(!Parse(Reply({record}), &info));
        QVERIFY(info.strIPAddress.isEmpty());
    }

    void longValuesAreCutTo399Bytes()
    {
        // "Static" and zeros: 600 bytes, the text is still "Static"; the next record follows.
        Bytes value = ovraemu::TextValue("Static");
        value.resize(600, 0);
        stIPInfo info;
        QVERIFY(Parse(Reply({ovraemu::LongRecord(0x4000, value), SettingsRecord(0x4001, "4.3.2.1")}), &info));
        QCOMPARE(info.iIPMode, c_iIPModeStatic);
        QCOMPARE(info.strIPAddress, QString("4.3.2.1"));

        // 450 text bytes without a zero: cut, not a dotted quad, no overrun.
        Bytes longText(450, '7');
        QVERIFY(!Parse(Reply({ovraemu::ShortRecord(0x4001, longText)}), &info));
        // An address whose dotted quad sits in the first 399 bytes and zeros after it.
        Bytes padded = ovraemu::TextValue("5.6.7.8");
        padded.resize(500, 0);
        QVERIFY(Parse(Reply({ovraemu::ShortRecord(0x4002, padded)}), &info));
        QCOMPARE(info.strSubnetMask, QString("5.6.7.8"));
        // The probe text counts up to the cut too.
        Bytes probe(700, 'x');
        info.iTagBlock = 0;
        QVERIFY(Parse(Reply({ovraemu::LongRecord(ovraemu::kTagProbe, probe)}), &info));
        QCOMPARE(info.iTagBlock, 1);
    }

    void randomRepliesStayInBounds()
    {
        // Random and mutated replies of every size up to the reply buffer: the parser
        // either accepts or refuses, and never touches memory outside the reply (the
        // sanitizer build checks that). Accepted replies hold only valid values.
        std::mt19937 random(246);
        const Bytes valid = *ovraemu::SettingsResponder().Answer(ReadRequestOf(1));
        int iAccepted = 0;
        for (int round = 0; round < 4000; ++round) {
            Bytes reply;
            if (round % 2 == 0) {
                reply.resize(size_t(random() % 1025));
                for (uint8_t& byte : reply)
                    byte = uint8_t(random() % 4 == 0 ? 0x40 : random());
                if (!reply.empty())
                    reply[0] = 0xA5;
            } else {
                reply = valid;
                reply[size_t(random() % reply.size())] = uint8_t(random());
                reply.resize(size_t(random() % (reply.size() + 1)));
            }
            stIPInfo info;
            unsigned char* pData = reply.empty() ? nullptr : reply.data();
            if (NetForm::ParseRecvData(pData, int(reply.size()), &info)) {
                ++iAccepted;
                QVERIFY(info.iIPMode == c_iIPModeUnknown || info.iIPMode == c_iIPModeDHCP
                        || info.iIPMode == c_iIPModeStatic);
                for (int k = 1; k <= 7; ++k)
                    QVERIFY(info.Address(k).isEmpty() || NetForm::IsIPValid(info.Address(k)));
            }
        }
        QVERIFY(iAccepted > 0); // the mutations leave some replies whole
    }

    void calibrationValues()
    {
        QCOMPARE(Calibration({0, 0, 0, 0, 0, 0, 0}), FromHex("A5002450E02E110000000D"
                                                             "00000000000000000000000000000000"
                                                             "000000000000000000000000"));
        const Bytes minus = Calibration({-6, 1, -1, 6, 0, 2, -6});
        QCOMPARE(Bytes(minus.begin() + 11, minus.end()), FromHex("FFFFFFD0"
                                                                 "00000008"
                                                                 "FFFFFFF8"
                                                                 "00000030"
                                                                 "00000000"
                                                                 "00000010"
                                                                 "FFFFF400"));
        const Bytes row7 = Calibration({0, 0, 0, 0, 0, 0, 6});
        QCOMPARE(Bytes(row7.end() - 4, row7.end()), FromHex("00000C00"));
        QCOMPARE(ovraemu::CalibrationValuesOf(minus), std::vector<int32_t>({-48, 8, -8, 48, 0, 16, -3072}));
        QCOMPARE(ovraemu::ClassifySettingsRequest(minus), ovraemu::SettingsRequestKind::CalibrationValues);
    }
};

QTEST_APPLESS_MAIN(TestNetRecords)
#include "tst_netrecords.moc"
