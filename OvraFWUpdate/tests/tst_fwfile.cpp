// Reading the firmware file, the model lookup, the catalogues and the choice of
// language; nothing here touches USB.
#include "modelinfo.h"
#include "ovralog.h"
#include "ovraprogram.h"
#include "printerfiles.h"
#include "settingfixture.h"
#include "translation.h"
#include "widget.h"

#include "fwfixture.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTranslator>
#include <QtTest>

#include <memory>

namespace {

struct stCatalogueRow {
    const char* szKey;
    const char* szEnglish;
    const char* szRussian;
};

const stCatalogueRow c_rows[] = {
    {"Ovra_Laser_Helper", "Ovra Laser Printer Update Helper", "Помощник обновления лазерного принтера Ovra"},
    {"Ovra_Helper", "Ovra Printer Update Helper", "Помощник обновления принтера Ovra"},
    {"MainWindow.Label.Choose_Printer", "Select the printer to be updated:", "Выберите принтер для обновления:"},
    {"MainWindow.Label.Choose_Firmware", "Select the firmware to be updated:", "Выберите прошивку для обновления:"},
    {"MainWindow.Button.Refresh_List", "Refresh the list", "Обновить список"},
    {"MainWindow.Button.View", "View", "Вид"},
    {"MainWindow.Button.One_Click_Update", "One-click update", "Обновление одним щелчком"},
    {"MainWindow.Table.Printer_Name", "Printer Name", "Имя принтера"},
    {"MainWindow.Table.Printer_Model", "Printer Model", "Модель принтера"},
    {"MainWindow.Table.Connection_Mode", "Connection Mode", "Режим соединения"},
    {"MainWindow.Table.Connection_Status", "Connection Status", "Состояние соединения"},
    {"MainWindow.Table_Content.Connected", "Connected", "Подключено"},
    {"MainWindow.Table_Content.Not_Connected", "Not Connected", "Не подключено"},
    {"MainWindow.Table_Content.Network", "Network", "Сеть"},
    {"MainWindow.Message_Button.Confirm", "Enter", "Ввод"},
    {"MainWindow.Message_Button.Cancel", "Cancel", "Отмена"},
    {"MainWindow.Message.Required_Printer", "Please select a printer!", "Выберите принтер!"},
    {"MainWindow.Message.Check_File_Path", "Please check the file path!", "Проверьте путь к файлу!"},
    {"MainWindow.Message.Check_Printer_Model", "Cannot support this printer model!",
     "Нет поддержки этой модели принтера!"},
    {"MainWindow.Message.Whether_Update_Printer", "Whether to update the printer", "Обновить принтер"},
    {"MainWindow.Message.Failed_Read_File", "Failure to read the update file. Please check the file status!",
     "Неудача чтения файла обновления. Проверьте состояние файла!"},
    {"MainWindow.Message.Success",
     "Operation is successful. Please wait untill completion of the printer update, and don't disconnect the power "
     "supply while updating.",
     "Успех операции. Дождитесь завершения обновления принтера и не отключайте электропитание во время обновления."},
    {"MainWindow.Message.Failed_Device_Interface_Init", "Failure to initialize the device interface!",
     "Неудача инициализации интерфейса устройства!"},
    {"MainWindow.Message.Failed_Printer_Connection",
     "Failure to connect the printer. Please check the connection status!",
     "Неудача подключения принтера. Проверьте состояние соединения!"},
    {"MainWindow.Message.Failed_Printer_Ping",
     "Failure to communicate with the printer, please check the printer status and try update again!",
     "Неудача связи с принтером, проверьте состояние принтера и попробуйте обновить снова!"},
    {"MainWindow.Message.Error_Unknow", "Unknown error!", "Неизвестная ошибка!"},
};

// What CheckFWFile handed out, released at the end of the scope.
struct stReadFile {
    bool bRead = false;
    int iSize = -1;
    std::unique_ptr<char[]> buffer;

    stReadFile(Widget& window, const QString& path)
    {
        char* pBuffer = reinterpret_cast<char*>(&iSize); // must be replaced
        bRead = window.CheckFWFile(path, &pBuffer, iSize);
        buffer.reset(pBuffer == reinterpret_cast<char*>(&iSize) ? nullptr : pBuffer);
        QVERIFY(pBuffer != reinterpret_cast<char*>(&iSize));
    }
};

} // namespace

class TestFWFile : public QObject
{
    Q_OBJECT
    std::unique_ptr<PrinterFiles> m_files;
    QTemporaryDir m_images;

    QStringList TakeWidgetLogMessages(const QString& strLogFile)
    {
        QFile file(strLogFile);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        const QStringList lines = QString::fromLocal8Bit(file.readAll()).split('\n', Qt::SkipEmptyParts);
        file.remove();
        const QRegularExpression source("^\\[[-0-9 :.]+\\] \\(OvraFWUpdate/widget@\\d+ CheckFWFile\\) ");
        QStringList messages;
        for (const QString& line : lines) {
            const QRegularExpressionMatch match = source.match(line);
            messages << (match.hasMatch() ? line.mid(match.capturedLength()) : line);
        }
        return messages;
    }

private slots:
    void initTestCase()
    {
        InitFWUpdateResources();
        SetOvraProgram(en_Program_FWUpdate);
        m_files.reset(new PrinterFiles);
        QVERIFY(m_images.isValid());
    }

    void fileIsReadWhole()
    {
        Widget window;
        const QString strPath = m_images.filePath("K246.fls");
        const std::vector<uint8_t> image = FirmwareImage(3 * 1024 * 1024 + 5);
        QVERIFY(WriteFile(strPath, image));
        const stReadFile read(window, strPath);
        QVERIFY(read.bRead);
        QCOMPARE(read.iSize, int(image.size()));
        QVERIFY(std::equal(image.begin(), image.end(), reinterpret_cast<const uint8_t*>(read.buffer.get())));
    }

    void anyNameAndContentIsTaken()
    {
        Widget window;
        const QString strPath = m_images.filePath("notes.txt");
        QVERIFY(WriteFile(strPath, {'h', 'i'}));
        const stReadFile read(window, strPath);
        QVERIFY(read.bRead);
        QCOMPARE(read.iSize, 2);
    }

    void emptyFileIsReadAsZeroBytes()
    {
        Widget window;
        const QString strPath = m_images.filePath("empty.fls");
        QVERIFY(WriteFile(strPath, {}));
        const stReadFile read(window, strPath);
        QVERIFY(read.bRead);
        QCOMPARE(read.iSize, 0);
    }

    void missingFileOrDirectoryIsNotRead()
    {
        Widget window;
        const stReadFile missing(window, m_images.filePath("none.fls"));
        QVERIFY(!missing.bRead);
        QVERIFY(!missing.buffer);
        const stReadFile directory(window, m_images.path());
        QVERIFY(!directory.bRead);
        int iSize = 0;
        QVERIFY(!window.CheckFWFile(m_images.filePath("K246.fls"), nullptr, iSize));
    }

    // A byte count is an int: a file of 2 GiB or more cannot be sent and is refused
    // before anything is allocated.
    void fileTooLargeForTheByteCountIsRefused()
    {
        Widget window;
        const QString strPath = m_images.filePath("huge.fls");
        QFile file(strPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        if (!file.resize(qint64(1) << 31))
            QSKIP("no sparse file of 2 GiB here");
        file.close();
        const stReadFile read(window, strPath);
        QVERIFY(!read.bRead);
        QVERIFY(!read.buffer);
        QFile::remove(strPath);
    }

    void readingIsLoggedUnderTheWidgetTag()
    {
        Widget window;
        SetLogEnable(true);
        QFile::remove(CurrentLogFileName());
        const QString strPath = m_images.filePath("logged.fls");
        QVERIFY(WriteFile(strPath, FirmwareImage(4321)));
        const stReadFile read(window, strPath);
        const QString strLogFile = CurrentLogFileName();
        SetLogEnable(false);
        QVERIFY(read.bRead);
        QCOMPARE(TakeWidgetLogMessages(strLogFile), QStringList({"open " + strPath + " success", "len=4321"}));
    }

    void modelLookupIgnoresCase()
    {
        Widget window;
        int vid = 0;
        int pid = 0;
        QVERIFY(window.GetPrinterVidPid("oVRA k246", vid, pid));
        QCOMPARE(vid, FindModelByDisplayName("Ovra K246")->iVendorId);
        QCOMPARE(pid, FindModelByDisplayName("Ovra K246")->iProductId);
        QVERIFY(!window.GetPrinterVidPid("Ovra X9000", vid, pid));
        QVERIFY(!window.GetPrinterVidPid("", vid, pid));
    }

    void cataloguesHoldEveryText()
    {
        QTranslator english;
        QTranslator russian;
        QVERIFY(english.load(":/Language/en_us.qm"));
        QVERIFY(russian.load(":/Language/ru_ru.qm"));
        for (const stCatalogueRow& row : c_rows) {
            QCOMPARE(english.translate("QObject", row.szKey), QString::fromUtf8(row.szEnglish));
            QCOMPARE(russian.translate("QObject", row.szKey), QString::fromUtf8(row.szRussian));
        }
    }

    void languageFollowsTheLocale_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("title");
        QTest::newRow("Russian") << int(QLocale::Russian) << QString::fromUtf8(c_rows[0].szRussian);
        QTest::newRow("English") << int(QLocale::English) << QString(c_rows[0].szEnglish);
        QTest::newRow("German falls back to English") << int(QLocale::German) << QString(c_rows[0].szEnglish);
    }

    void languageFollowsTheLocale()
    {
        QFETCH(int, language);
        QFETCH(QString, title);
        QTranslator translator;
        QVERIFY(InstallTranslation(*qApp, translator, QLocale::Language(language)));
        Widget window;
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(window.windowTitle(), title);
    }
};

QTEST_MAIN(TestFWFile)
#include "tst_fwfile.moc"
