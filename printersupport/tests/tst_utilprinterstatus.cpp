// Status responses built byte by byte, decoded the way the service and the tray do.
#include "printerstatebuilder.h"
#include "utilprinterstatus.h"

#include <QtTest>

using namespace ovraemu;

namespace {

std::vector<uint8_t> Frame(const std::vector<uint8_t>& body)
{
    std::vector<uint8_t> out(7, 0);
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<uint8_t> Response(const EmuPrinterState& state) { return Frame(BuildStatusBody(state)); }

bool Decode(const std::vector<uint8_t>& bytes, stPrinterState& state)
{
    return DecodePrinterStatus(bytes.data(), bytes.size(), state);
}

// A response with every kind of field, for the truncation sweep.
EmuPrinterState RichState()
{
    EmuPrinterState s;
    s.vendor = "Ovra";
    s.product = "Ovra P2200DN";
    s.serial = "SN0001";
    s.statusCode = 0x10;
    s.firmware = "V1.2";
    s.extraText = "x";
    s.errors = {0x110D, 0x1212};
    s.warnings = {0x11EA};
    s.supplies.push_back({0x0000, {'T', 'N', '1'}});
    s.SetCounter(0x1000, 73).SetCounter(0x1101, 1234);
    return s;
}

} // namespace

class TestUtilPrinterStatus : public QObject
{
    Q_OBJECT
private slots:
    void minimalResponseOfZeros()
    {
        std::vector<uint8_t> bytes(31, 0);
        bytes[0] = 0xA5; // header bytes are not interpreted
        stPrinterState state;
        QVERIFY(Decode(bytes, state));
        QCOMPARE(state.enCurrentStatus, int(en_Status_Ready));
        QVERIFY(state.strVenderName.isEmpty() && state.strProductName.isEmpty());
        QVERIFY(state.strPrinterSerialNumber.isEmpty() && state.strFWVersion.isEmpty());
        QCOMPARE(state.iNumberOfError, 0);
        QCOMPARE(state.iNumberOfWarning, 0);
        QVERIFY(state.listErrorStatus.isEmpty() && state.listWarningStatus.isEmpty());
        QCOMPARE(state.dwRemainingToner, quint64(0));
        QCOMPARE(state.iConnectFailCount, 0);
        QCOMPARE(BuildStatusBody(EmuPrinterState{"", "", "", 0, "", "", {}, {}, {}}).size() + 7, size_t(31));
    }

    void everyShorterCutIsRejected()
    {
        // Run under the sanitizers: no cut may read past the buffer it is given.
        const std::vector<uint8_t> full = Response(RichState());
        for (size_t len = 0; len < full.size(); ++len) {
            std::vector<uint8_t> cut(full.begin(), full.begin() + len); // exact-size heap copy
            UtilPrinterStatus parser;
            QVERIFY2(!parser.parseRecvBuf(cut.data(), cut.size()), qPrintable(QString("length %1").arg(len)));
        }
        UtilPrinterStatus parser;
        QVERIFY(parser.parseRecvBuf(full.data(), full.size()));
        QVERIFY(!parser.parseRecvBuf(nullptr, 100));
    }

    void failedParseLeavesStateAlone()
    {
        stPrinterState state;
        QVERIFY(Decode(Response(RichState()), state));
        const stPrinterState before = state;
        std::vector<uint8_t> bad =
            Frame({0, 0, 0, 0, 0, 0x00, 0x04, 'O', 'v', 'r', 'a', 0x00, 0x30 /* L3 past the end */, 'A'});
        QVERIFY(!Decode(bad, state));
        QCOMPARE(state.enCurrentStatus, before.enCurrentStatus);
        QCOMPARE(state.listErrorStatus, before.listErrorStatus);
        QCOMPARE(state.dwRemainingToner, before.dwRemainingToner);
        QCOMPARE(state.strProductName, before.strProductName);
    }

    void fullDecode()
    {
        std::vector<uint8_t> bytes = Response(RichState());
        bytes.push_back(0xEE); // bytes after the last item are ignored
        stPrinterState state;
        state.iConnectFailCount = 4;
        QVERIFY(Decode(bytes, state));
        QCOMPARE(state.strVenderName, QString("Ovra"));
        QCOMPARE(state.strProductName, QString("Ovra P2200DN"));
        QCOMPARE(state.strPrinterSerialNumber, QString("SN0001"));
        QCOMPARE(state.strFWVersion, QString("V1.2"));
        QCOMPARE(state.enCurrentStatus, int(en_Status_Printing));
        QCOMPARE(state.iNumberOfError, 2);
        QCOMPARE(state.listErrorStatus, (QList<int>{en_Error_TonerLow, en_Error_HighTemperature}));
        QCOMPARE(state.iNumberOfWarning, 1);
        QCOMPARE(state.listWarningStatus, QList<int>{en_Error_TonerLow2});
        QCOMPARE(state.strSupplySerialNumber, QString("TN1"));
        QCOMPARE(state.dwRemainingToner, quint64(73));
        QCOMPARE(state.dwPrinterNumOfPages, quint64(1234));
        QCOMPARE(state.iConnectFailCount, 0);
    }

    void unknownCodesAreKeptAsZero()
    {
        EmuPrinterState s;
        s.statusCode = 0x14;
        s.errors = {0x1208, 0xFFFF, 0x1106};
        s.warnings = {0x0000};
        stPrinterState state;
        QVERIFY(Decode(Response(s), state));
        QCOMPARE(state.enCurrentStatus, int(en_Status_Unknown));
        QCOMPARE(state.listErrorStatus, (QList<int>{en_Error_Unknown, en_Error_Unknown, en_Error_FrontCoverOpened}));
        QCOMPARE(state.listWarningStatus, QList<int>{en_Error_Unknown});
    }

    void statusCodeTable()
    {
        const QList<QPair<unsigned long, int>> table = {{0x00, 3},  {0x01, 4},  {0x02, 5}, {0x03, 6},
                                                        {0x04, 0},  {0x0F, 0},  {0x10, 8}, {0x11, 9},
                                                        {0x12, 10}, {0x13, 11}, {0x14, 0}, {0xFF, 0}};
        for (const auto& row : table)
            QCOMPARE(UtilPrinterStatus::GetPrinterStatusEnum(row.first), row.second);
    }

    void errorCodeTableBoundaries()
    {
        const QList<QPair<unsigned long, int>> table = {
            {0x1200, 1},  {0x1203, 2},  {0x2200, 3},  {0x0100, 4},  {0x0101, 4},  {0x0102, 0},  {0x0201, 0},
            {0x0202, 4},  {0x1204, 4},  {0x1207, 4},  {0x1208, 0},  {0x1209, 4},  {0x120B, 4},  {0x120C, 0},
            {0x1212, 5},  {0x1213, 4},  {0x121F, 4},  {0x1220, 0},  {0x1106, 6},  {0x1108, 4},  {0x1109, 10},
            {0x110C, 10}, {0x110D, 11}, {0x110E, 12}, {0x110F, 13}, {0x1110, 17}, {0x1111, 19}, {0x1112, 21},
            {0x1114, 21}, {0x1115, 23}, {0x1121, 18}, {0x1122, 20}, {0x1123, 12}, {0x1124, 20}, {0x1125, 19},
            {0x1126, 23}, {0x1127, 23}, {0x1128, 22}, {0x1129, 22}, {0x112F, 12}, {0x1130, 24}, {0x1132, 29},
            {0x1133, 33}, {0x1140, 25}, {0x11A0, 30}, {0x11A1, 31}, {0x11A2, 32}, {0x11B0, 34}, {0x11B8, 34},
            {0x11B9, 0},  {0x11C0, 35}, {0x11C6, 35}, {0x11C7, 0},  {0x11D0, 36}, {0x11D6, 36}, {0x11E0, 37},
            {0x11E3, 37}, {0x11E4, 0},  {0x11EA, 14}, {0x11EE, 12}, {0x11EF, 12}, {0x0110, 38}, {0x2100, 26},
            {0x2101, 0},  {0x2102, 27}, {0x2103, 28}, {0x4100, 42}, {0x4200, 42}, {0x4201, 42}, {0x4210, 42},
            {0x4211, 39}, {0x4212, 42}, {0x4213, 40}, {0x4214, 41}, {0x4F00, 42}, {0xE100, 43}, {0x5000, 44},
            {0x0000, 0},  {0x10000, 0}};
        for (const auto& row : table)
            QVERIFY2(UtilPrinterStatus::GetErrorStatusEnum(row.first) == row.second,
                     qPrintable(QString::number(row.first, 16)));
        QCOMPARE(UtilPrinterStatus::GetTonerTypeEnum(7), 0);
    }

    void supplyItemLengthRules_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<quint64>("expected");
        QTest::newRow("n=4") << QByteArray::fromHex("000001F4") << quint64(500);
        QTest::newRow("n=3") << QByteArray::fromHex("010203") << quint64(0x010203);
        QTest::newRow("n=2") << QByteArray::fromHex("0102") << quint64(0x0102);
        QTest::newRow("n=1") << QByteArray::fromHex("32") << quint64(50);
        QTest::newRow("n=5 first byte") << QByteArray::fromHex("0700000001") << quint64(7);
        QTest::newRow("n=0") << QByteArray() << quint64(0);
        QTest::newRow("n=255 first byte") << QByteArray(255, '\x09') << quint64(9);
    }
    void supplyItemLengthRules()
    {
        QFETCH(QByteArray, value);
        QFETCH(quint64, expected);
        EmuPrinterState s;
        s.supplies.push_back({0x1000, std::vector<uint8_t>(value.begin(), value.end())});
        s.SetCounter(0x1004, 99); // an item after the odd one still parses
        stPrinterState state;
        QVERIFY(Decode(Response(s), state));
        QCOMPARE(state.dwRemainingToner, expected);
        QCOMPARE(state.dwNumberOfPrint, quint64(99));
    }

    void eachTagSetsOnlyItsField()
    {
        const QList<QPair<uint16_t, quint64 stPrinterState::*>> tags = {
            {0x1000, &stPrinterState::dwRemainingToner},    {0x1001, &stPrinterState::dwWasteToner},
            {0x1002, &stPrinterState::dwOPCRotation},       {0x1003, &stPrinterState::dwNumberOfPages},
            {0x1004, &stPrinterState::dwNumberOfPrint},     {0x1100, &stPrinterState::dwPrintDotsCount},
            {0x1101, &stPrinterState::dwPrinterNumOfPages}, {0x1102, &stPrinterState::dwPrinterNumOfPrint}};
        for (const auto& tag : tags) {
            EmuPrinterState s;
            s.SetCounter(tag.first, 4242);
            s.SetCounter(0x2000, 1); // unknown tag: skipped
            stPrinterState state;
            QVERIFY(Decode(Response(s), state));
            for (const auto& other : tags)
                QCOMPARE(state.*(other.second), other.first == tag.first ? quint64(4242) : quint64(0));
        }
    }

    void laterDuplicateTagWins()
    {
        EmuPrinterState s;
        s.supplies.push_back({0x1000, {0x10}});
        s.supplies.push_back({0x1000, {0x20}});
        s.supplies.push_back({0x0000, {'A'}});
        s.supplies.push_back({0x0000, {'B', 'C'}});
        stPrinterState state;
        QVERIFY(Decode(Response(s), state));
        QCOMPARE(state.dwRemainingToner, quint64(0x20));
        QCOMPARE(state.strSupplySerialNumber, QString("BC"));
    }

    void textsStopAtZeroAndAreCutToCapacity()
    {
        EmuPrinterState s;
        s.vendor = std::string("Ov\0ra", 5);
        s.product = std::string(300, 'P');
        s.serial = std::string(260, 'S');
        s.firmware = std::string(255, 'F');
        s.supplies.push_back({0x0000, std::vector<uint8_t>(100, 'T')});
        s.SetCounter(0x1000, 12);
        stPrinterState state;
        QVERIFY(Decode(Response(s), state));
        QCOMPARE(state.strVenderName, QString("Ov"));
        QCOMPARE(state.strProductName, QString(260, 'P'));
        QCOMPARE(state.strPrinterSerialNumber, QString(260, 'S'));
        QCOMPARE(state.strFWVersion, QString(255, 'F'));
        QCOMPARE(state.strSupplySerialNumber, QString(64, 'T'));
        QCOMPARE(state.dwRemainingToner, quint64(12)); // the walk skipped the full lengths
    }

    void latin1Texts()
    {
        EmuPrinterState s;
        s.product = "Caf\xE9";
        stPrinterState state;
        QVERIFY(Decode(Response(s), state));
        QCOMPARE(state.strProductName, QString::fromUtf8("Caf\xC3\xA9"));
    }

    void byteToDWORDDirect()
    {
        const unsigned char bytes[] = {0xFF, 0xFF, 0xFF, 0xFF};
        QCOMPARE(UtilPrinterStatus::byteToDWORD(bytes, 4), quint64(0xFFFFFFFF));
        QCOMPARE(UtilPrinterStatus::byteToDWORD(bytes, 0), quint64(0));
        QCOMPARE(UtilPrinterStatus::byteToDWORD(nullptr, 3), quint64(0));
        QCOMPARE(UtilPrinterStatus::byteToDWORD(bytes, -1), quint64(0));
    }

    void statusValuePointer()
    {
        EmuPrinterState s;
        s.statusCode = 0x12;
        std::vector<uint8_t> bytes = Response(s);
        UtilPrinterStatus parser;
        QVERIFY(parser.parseRecvBuf(bytes.data(), bytes.size()));
        QCOMPARE(int(*parser.getPrinterStatusValue()), 0x12);
    }

    void udpReplyDecodes()
    {
        // The UDP reply's own 7-byte header stands where USB has seven zero bytes.
        std::vector<uint8_t> reply = BuildUdpStatusReply(RichState());
        QCOMPARE(reply[0], uint8_t(0xA5));
        QCOMPARE(size_t((reply[1] << 8) | reply[2]), reply.size() - 3);
        stPrinterState state;
        QVERIFY(Decode(reply, state));
        QCOMPARE(state.dwRemainingToner, quint64(73));
    }
};

QTEST_GUILESS_MAIN(TestUtilPrinterStatus)
#include "tst_utilprinterstatus.moc"
