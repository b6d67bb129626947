// What a printer's state reads as, and the status files read back.
#include "ovrapaths.h"
#include "statusfile.h"
#include "statustext.h"
#include "installroot.h"

#include <QtTest>

class TestStatusText : public QObject
{
    Q_OBJECT
private slots:
    void tonerInHundredthsOfAPercent()
    {
        QCOMPARE(RemainingTonerText(10000), QString("100.00%"));
        QCOMPARE(RemainingTonerText(1), QString("0.01%"));
        QCOMPARE(RemainingTonerText(12345), QString("123.45%"));
        QCOMPARE(RemainingTonerText(8550), QString("85.50%"));
        QCOMPARE(RemainingTonerText(0), QString("0.00%"));
    }

    void tablesAreComplete()
    {
        for (int i = 0; i < en_Status_Count; ++i)
            QVERIFY(!StatusText(i, en_Language_English).isEmpty() && !StatusText(i, en_Language_Russian).isEmpty());
        int iEmptyRussian = 0;
        for (int i = 0; i < en_Error_Count; ++i) {
            QVERIFY(!ErrorText(i, en_Language_English).isEmpty());
            iEmptyRussian += ErrorText(i, en_Language_Russian).isEmpty() ? 1 : 0;
        }
        QCOMPARE(iEmptyRussian, 5);
        QCOMPARE(ErrorText(11, 0), ErrorText(14, 0));
        QCOMPARE(ErrorText(4, 0), ErrorText(42, 0));
        QCOMPARE(StatusText(en_Status_Count, 0), QString());
        QCOMPARE(ErrorText(-1, 0), QString());
        QCOMPARE(ErrorText(3, 3), QString());
    }

    void statusCell()
    {
        stPrinterState state;
        state.enCurrentStatus = en_Status_Printing;
        state.listWarningStatus = {en_Error_TonerLow, en_Error_WasteTonerWillBeFull};
        QCOMPARE(StatusCellText(state, en_Language_English), QString("Printing(Toner level low)"));
        state.enCurrentStatus = en_Status_Ready;
        QCOMPARE(StatusCellText(state, en_Language_English), QString("Ready"));
        state.listErrorStatus = {en_Error_PaperJamDevice};
        QCOMPARE(StatusCellText(state, en_Language_English), QString("Paper jam in device"));
        state.listErrorStatus = {en_Error_CartridgeInvalid};
        QCOMPARE(StatusCellText(state, en_Language_Russian), QString());
        QCOMPARE(StatusCellText(stPrinterState(), en_Language_Russian), QString::fromUtf8("Не в сети"));
    }

    void statusFilesReadBack()
    {
        TestInstallRoot root("statustext");
        stPrinterState state;
        state.enCurrentStatus = en_Status_Printing;
        QVERIFY(!ReadStatusFile("missing", state));
        QCOMPARE(state.enCurrentStatus, int(en_Status_Printing));

        QDir().mkpath(OvraPaths::CfgDir());
        QByteArray response(31, '\0');
        response.append(QByteArray(5000, '\x7F')); // longer than any stored response
        QFile file(OvraPaths::StatusFile("q"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(response);
        file.close();
        QByteArray bytes;
        QVERIFY(ReadStatusFileBytes("q", bytes));
        QCOMPARE(bytes.size(), c_iStatusFileMaxBytes);
        QVERIFY(ReadStatusFile("q", state));
        QCOMPARE(state.enCurrentStatus, int(en_Status_Ready));

        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(response.left(20));
        file.close();
        QVERIFY(!ReadStatusFile("q", state));
        QCOMPARE(state.enCurrentStatus, int(en_Status_Ready));
    }
};

QTEST_GUILESS_MAIN(TestStatusText)
#include "tst_statustext.moc"
