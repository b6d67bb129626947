// ovra-status over printer list files and status files that are cut, empty or
// garbage: it lists what the list file still holds, shows a printer whose status
// file does not decode as without one ("Offline"), and always ends normally.
#include "damagedfiles.h"
#include "ovrapaths.h"
#include "printerstatebuilder.h"
#include "installroot.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

namespace {

QByteArray WholeStatusFile()
{
    ovraemu::EmuPrinterState state;
    state.product = "Ovra MK246";
    state.statusCode = 0x00;
    state.SetCounter(0x1000, 6100);
    const std::vector<uint8_t> body = ovraemu::BuildStatusBody(state);
    return QByteArray(7, '\0') + QByteArray(reinterpret_cast<const char*>(body.data()), int(body.size()));
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), qint64(bytes.size()));
}

} // namespace

class TestFaultsOvraStatus : public QObject
{
    Q_OBJECT
    QScopedPointer<TestInstallRoot> m_root;

    // Runs ovra-status with the arguments; its output, with its exit code checked.
    QByteArray Run(const QStringList& arguments)
    {
        QProcess status;
        status.start(OVRA_STATUS_PATH, arguments);
        if (!status.waitForFinished(20000) || status.exitStatus() != QProcess::NormalExit || status.exitCode() != 0) {
            qWarning("ovra-status %s: %s", qPrintable(arguments.join(' ')), status.readAllStandardError().constData());
            return QByteArray();
        }
        return status.readAllStandardOutput();
    }

    QJsonArray Rows()
    {
        const QByteArray text = Run({"--json"});
        return QJsonDocument::fromJson(text).array();
    }

private slots:
    void init()
    {
        m_root.reset(new TestInstallRoot("ovrastatus"));
        QDir().mkpath(OvraPaths::CfgDir());
        WriteBytes(OvraPaths::StatusFile("desk"), WholeStatusFile());
        WriteBytes(OvraPaths::StatusFile("hall"), WholeStatusFile());
    }

    void damagedListFile_data() { AddDamagedListRows(); }

    void damagedListFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, names);
        WriteBytes(OvraPaths::PrinterListFile(), bytes);
        const QJsonArray rows = Rows();
        QStringList listed;
        for (const QJsonValue& row : rows) {
            listed << row.toObject().value("name").toString();
            // A printer that is in the list file whole has its status; one cut away has none.
            QCOMPARE(row.toObject().value("hasStatusFile").toBool(), !listed.last().isEmpty());
        }
        QCOMPARE(listed, names);
        QVERIFY(!Run({}).isEmpty()); // the table as well
    }

    void damagedStatusFile_data() { AddDamagedStatusRows(WholeStatusFile()); }

    void damagedStatusFile()
    {
        QFETCH(QByteArray, bytes);
        WriteBytes(OvraPaths::PrinterListFile(), WholeListFile());
        WriteBytes(OvraPaths::StatusFile("desk"), bytes);
        const QJsonArray rows = Rows();
        QCOMPARE(rows.size(), 2);
        const QJsonObject desk = rows.at(0).toObject();
        QCOMPARE(desk.value("hasStatusFile").toBool(), false);
        QCOMPARE(desk.value("statusText").toString(), QString("Offline"));
        QCOMPARE(desk.value("toner").toDouble(), 0.0);
        const QJsonObject hall = rows.at(1).toObject();
        QCOMPARE(hall.value("hasStatusFile").toBool(), true);
        QCOMPARE(hall.value("statusText").toString(), QString("Ready"));
        QCOMPARE(hall.value("toner").toDouble(), 61.0);
    }
};

QTEST_GUILESS_MAIN(TestFaultsOvraStatus)
#include "tst_faults_ovrastatus.moc"
