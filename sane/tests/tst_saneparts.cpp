// Backend parts without the real daemon: the configuration file, page decoding, status
// mapping, options and the settings they send, the debug messages, and scans through
// the entry points against a stand-in daemon, each status checked as a front end would.
#include "backendconfig.h"
#include "fakedaemon.h"
#include "ovrabackend.h"
#include "ovradebug.h"
#include "pagedecode.h"

#include "ovrascan/pagecollector.h"

#include <sane/saneopts.h>

#include <QtTest>

#include <unistd.h>

#include <cstdio>
#include <jpeglib.h>

using namespace ovrasane;
using namespace clienttest;

extern "C" {
SANE_Status sane_ovra_init(SANE_Int* version_code, SANE_Auth_Callback authorize);
void sane_ovra_exit(void);
SANE_Status sane_ovra_get_devices(const SANE_Device*** device_list, SANE_Bool local_only);
SANE_Status sane_ovra_open(SANE_String_Const name, SANE_Handle* handle);
void sane_ovra_close(SANE_Handle handle);
SANE_Status sane_ovra_control_option(SANE_Handle handle, SANE_Int option, SANE_Action action, void* value,
                                     SANE_Int* info);
SANE_Status sane_ovra_read(SANE_Handle handle, SANE_Byte* data, SANE_Int max_length, SANE_Int* length);
SANE_Status sane_ovra_set_io_mode(SANE_Handle handle, SANE_Bool non_blocking);
SANE_Status sane_ovra_get_select_fd(SANE_Handle handle, SANE_Int* fd);
void sane_ovra_cancel(SANE_Handle handle);
}

namespace {

std::vector<uint8_t> EncodeGrayJpeg(int width, int height, const std::vector<uint8_t>& pixels)
{
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(width);
    info.image_height = JDIMENSION(height);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(pixels.data()) + size_t(info.next_scanline) * size_t(width);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> bytes(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    free(buffer);
    return bytes;
}

// Hands the bytes of a page a few at a time, as a page being scanned arrives.
class TricklePageBytes : public PageBytes
{
public:
    TricklePageBytes(const std::vector<uint8_t>& bytes, size_t step) : m_bytes(bytes), m_step(step) {}
    long Next(uint8_t* out, size_t max) override
    {
        const size_t n = std::min({max, m_step, m_bytes.size() - m_offset});
        std::copy_n(m_bytes.begin() + long(m_offset), n, out);
        m_offset += n;
        return long(n);
    }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_step;
    size_t m_offset = 0;
};

std::vector<uint8_t> ReadAllLines(LineSource& lines, size_t chunk)
{
    std::vector<uint8_t> out, buffer(chunk);
    std::string error;
    for (long n; (n = lines.Read(buffer.data(), buffer.size(), error)) > 0;)
        out.insert(out.end(), buffer.begin(), buffer.begin() + n);
    return out;
}

std::vector<uint8_t> Pattern(size_t size, int seed)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t((i * 37 + size_t(seed) * 101) ^ (i >> 7));
    return bytes;
}

// Every byte of the frame through Read, with the statuses a front end sees.
SANE_Status ReadFrame(Session& session, std::vector<uint8_t>& frame)
{
    SANE_Byte buffer[777];
    SANE_Int length = 0;
    SANE_Status status;
    while ((status = session.Read(buffer, sizeof buffer, &length)) == SANE_STATUS_GOOD)
        frame.insert(frame.end(), buffer, buffer + length);
    return status;
}

// Whether a file is gone within a few seconds (the daemon deletes on its own thread).
bool Gone(const std::string& path)
{
    for (int i = 0; i < 500 && FileExists(path); ++i)
        usleep(10000);
    return !FileExists(path);
}

// Writes ovra.conf into the folder and points the backend at it.
bool UseConfigDir(const QTemporaryDir& dir, const QByteArray& text)
{
    QFile file(dir.filePath("ovra.conf"));
    qputenv("SANE_CONFIG_DIR", dir.path().toUtf8());
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() && file.flush();
}

SANE_Status SetText(Session& session, SANE_Int option, const char* value)
{
    char text[64] = {};
    qstrncpy(text, value, sizeof text);
    return session.Control(option, SANE_ACTION_SET_VALUE, text, nullptr);
}

SANE_Status SetWord(Session& session, SANE_Int option, SANE_Word value)
{
    return session.Control(option, SANE_ACTION_SET_VALUE, &value, nullptr);
}

DeviceEntry NetDevice()
{
    DeviceEntry device;
    device.name = "net:127.0.0.250";
    device.address = "127.0.0.250";
    device.minResolution = 75;
    device.maxResolution = 600;
    return device;
}

} // namespace

class TestSaneParts : public QObject
{
    Q_OBJECT

private slots:
    void configListsNetworkScannersAndPort()
    {
        std::vector<std::string> problems;
        const BackendConfig config = ParseConfig("# comment\nnet 192.168.1.50\n  net 10.0.0.2   # office\n"
                                                 "port 27000\nnet not-an-address\nnet 1.2.3.4 extra\nbogus\n",
                                                 &problems);
        QCOMPARE(config.netAddresses, (std::vector<std::string>{"192.168.1.50", "10.0.0.2"}));
        QCOMPARE(int(config.daemonPort), 27000);
        QCOMPARE(problems.size(), size_t(3));
    }

    void configPortOutOfRangeIsIgnored()
    {
        QCOMPARE(int(ParseConfig("port 70000\n").daemonPort), 0);
        QCOMPARE(int(ParseConfig("port 0\n").daemonPort), 0);
    }

    void configIsReadFromSaneConfigDir()
    {
        QTemporaryDir dir;
        QVERIFY(UseConfigDir(dir, "net 127.0.0.249\n"));
        const BackendConfig config = LoadConfig();
        qunsetenv("SANE_CONFIG_DIR");
        QCOMPARE(config.netAddresses, (std::vector<std::string>{"127.0.0.249"}));
    }

    void rawGrayKeepsBytesAndFillsTheLastLineWithWhite()
    {
        Frame frame;
        std::string error;
        QVERIFY(DecodeRaw({1, 2, 3, 4, 5, 6, 7}, 8, 3, frame, error));
        QCOMPARE(frame.lines, 3);
        QCOMPARE(frame.bytesPerLine, 3);
        QCOMPARE(frame.channels, 1);
        QCOMPARE(frame.data, (std::vector<uint8_t>{1, 2, 3, 4, 5, 6, 7, 255, 255}));
    }

    void rawLineartLinesAreWholeBytes()
    {
        Frame frame;
        std::string error;
        QVERIFY(DecodeRaw({0xF0, 0x80, 0x0F, 0x01}, 1, 9, frame, error));
        QCOMPARE(frame.depth, 1);
        QCOMPARE(frame.bytesPerLine, 2);
        QCOMPARE(frame.lines, 2);
        QCOMPARE(RawBytesPerLine(24, 5), 15);
        QVERIFY(!DecodeRaw({1}, 8, 0, frame, error));
    }

    void jpegPageIsDecoded()
    {
        std::vector<uint8_t> pixels(32 * 16);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = uint8_t((i % 32) * 8);
        const std::vector<uint8_t> jpeg = EncodeGrayJpeg(32, 16, pixels);
        QVERIFY(LooksLikeJpeg(jpeg));
        Frame frame;
        std::string error;
        QVERIFY2(DecodeJpeg(jpeg, frame, error), error.c_str());
        QCOMPARE(frame.pixelsPerLine, 32);
        QCOMPARE(frame.lines, 16);
        QCOMPARE(frame.channels, 1);
        QCOMPARE(frame.data.size(), pixels.size());
        for (size_t i = 0; i < pixels.size(); ++i)
            QVERIFY2(std::abs(int(frame.data[i]) - int(pixels[i])) <= 4, qPrintable(QString::number(i)));
    }

    void brokenJpegIsAnError()
    {
        std::vector<uint8_t> bytes = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F'};
        Frame frame;
        std::string error;
        QVERIFY(!DecodeJpeg(bytes, frame, error));
        QVERIFY(!error.empty());
        QVERIFY(!LooksLikeJpeg({0x00, 0xD8, 0xFF}));
    }

    void daemonStatusesBecomeSaneStatuses()
    {
        QCOMPARE(ToSaneStatus(OVRA_STATUS_DEVICE_BUSY), SANE_STATUS_DEVICE_BUSY);
        QCOMPARE(ToSaneStatus(OVRA_STATUS_NO_DOCS), SANE_STATUS_NO_DOCS);
        QCOMPARE(ToSaneStatus(OVRA_STATUS_JAMMED), SANE_STATUS_JAMMED);
        QCOMPARE(ToSaneStatus(OVRA_STATUS_COVER_OPEN), SANE_STATUS_COVER_OPEN);
        QCOMPARE(ToSaneStatus(-7), SANE_STATUS_IO_ERROR);
        QCOMPARE(ToSaneStatus(42), SANE_STATUS_IO_ERROR);
    }

    void optionsSetTheScanSettings()
    {
        Session session(NetDevice(), 1); // never connects
        const SANE_Option_Descriptor* mode = session.Descriptor(OPT_MODE);
        QVERIFY(mode && QByteArray(mode->name) == SANE_NAME_SCAN_MODE);
        QVERIFY(session.Descriptor(NUM_OPTIONS) == nullptr);
        QCOMPARE(SetText(session, OPT_MODE, "Gray"), SANE_STATUS_GOOD);
        QCOMPARE(SetText(session, OPT_SOURCE, "ADF multi page"), SANE_STATUS_GOOD);
        QCOMPARE(SetWord(session, OPT_RESOLUTION, 1200), SANE_STATUS_GOOD); // kept as the scanner's highest
        QCOMPARE(SetWord(session, OPT_BR_X, SANE_FIX(25.4)), SANE_STATUS_GOOD);
        QCOMPARE(SetWord(session, OPT_BR_X, SANE_FIX(50.8)), SANE_STATUS_GOOD);
        QCOMPARE(SetWord(session, OPT_TL_X, SANE_FIX(25.4)), SANE_STATUS_GOOD);
        QCOMPARE(SetWord(session, OPT_BR_Y, SANE_FIX(50.8)), SANE_STATUS_GOOD);
        QCOMPARE(SetWord(session, OPT_BRIGHTNESS, 300), SANE_STATUS_GOOD);

        const SettingInfo sent = ovrascan::ToSettingInfo(session.Settings());
        QCOMPARE(int(sent.bitDepth), 8);
        QCOMPARE(int(sent.feederEnabled), 1);
        QCOMPARE(int(sent.isClient), 1);
        QCOMPARE(int(sent.xResolution), 600);
        QCOMPARE(sent.xStart, 600u);
        QCOMPARE(sent.width, 600u);
        QCOMPARE(sent.height, 1200u);
        QCOMPARE(int(sent.BrightnessParam), 255);
        QCOMPARE(int(sent.compType), int(COMPRESSION_JPEG));

        SANE_Parameters params{};
        QCOMPARE(session.Parameters(&params), SANE_STATUS_GOOD);
        QCOMPARE(params.format, SANE_FRAME_GRAY);
        QCOMPARE(params.pixels_per_line, 600);
        QCOMPARE(params.lines, 1200);
        QCOMPARE(params.bytes_per_line, 600);
    }

    void lineartIsRawOneBit()
    {
        Session session(NetDevice(), 1); // never connects
        QCOMPARE(SetText(session, OPT_MODE, SANE_VALUE_SCAN_MODE_LINEART), SANE_STATUS_GOOD);
        const SettingInfo sent = ovrascan::ToSettingInfo(session.Settings());
        QCOMPARE(int(sent.bitDepth), 1);
        QCOMPARE(int(sent.compType), int(COMPRESSION_NONE));
        QCOMPARE(int(sent.feederEnabled), 0);
        SANE_Parameters params{};
        QCOMPARE(session.Parameters(&params), SANE_STATUS_GOOD);
        QCOMPARE(params.depth, 1);
        QCOMPARE(params.bytes_per_line, (params.pixels_per_line + 7) / 8);
    }

    void usbFeederScansAtMost600Dpi()
    {
        DeviceEntry usb;
        usb.usb = true;
        usb.name = "usb:3a53:0131:S1";
        Session session(usb, 1);
        QCOMPARE(SetWord(session, OPT_RESOLUTION, 1200), SANE_STATUS_GOOD);
        QCOMPARE(session.Settings().resolution, 1200); // flatbed
        QCOMPARE(int(session.Settings().format.value()), int(ovrascan::ImageFormat::Raw));
        QCOMPARE(SetText(session, OPT_SOURCE, "ADF single page"), SANE_STATUS_GOOD);
        QCOMPARE(session.Settings().resolution, 600);
        SANE_Parameters params{};
        QCOMPARE(session.Parameters(&params), SANE_STATUS_GOOD);
        QCOMPARE(params.pixels_per_line, int(ovrascan::MillimetresToDots(215.9, 600)));
    }

    void startWithoutDaemonIsAnIoError()
    {
        Session session(NetDevice(), UnusedPort());
        QCOMPARE(session.Start(), SANE_STATUS_IO_ERROR);
        SANE_Byte buffer[16];
        SANE_Int length = 99;
        QCOMPARE(session.Read(buffer, sizeof buffer, &length), SANE_STATUS_INVAL);
        QCOMPARE(length, 0);
        SANE_Int fd = 0;
        QCOMPARE(session.SetIoMode(SANE_FALSE), SANE_STATUS_INVAL);
        QCOMPARE(session.SelectFd(&fd), SANE_STATUS_INVAL);
        session.Cancel();
        QCOMPARE(session.Start(), SANE_STATUS_IO_ERROR); // a cancel before a start stops nothing
        session.Cancel();
        session.Cancel();
        QCOMPARE(session.Read(buffer, sizeof buffer, &length), SANE_STATUS_INVAL);
    }

    void allowedStatuses_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("allowed");
        const int read = int(EntryPoint::Read), start = int(EntryPoint::Start);
        QTest::newRow("read end of file") << read << int(SANE_STATUS_EOF) << int(SANE_STATUS_EOF);
        QTest::newRow("read jammed") << read << int(SANE_STATUS_JAMMED) << int(SANE_STATUS_JAMMED);
        QTest::newRow("read busy") << read << int(SANE_STATUS_DEVICE_BUSY) << int(SANE_STATUS_IO_ERROR);
        QTest::newRow("start busy") << start << int(SANE_STATUS_DEVICE_BUSY) << int(SANE_STATUS_DEVICE_BUSY);
        QTest::newRow("start end of file") << start << int(SANE_STATUS_EOF) << int(SANE_STATUS_IO_ERROR);
        QTest::newRow("start access denied") << start << int(SANE_STATUS_ACCESS_DENIED) << int(SANE_STATUS_IO_ERROR);
        QTest::newRow("option busy") << int(EntryPoint::ControlOption) << int(SANE_STATUS_DEVICE_BUSY)
                                     << int(SANE_STATUS_IO_ERROR);
        QTest::newRow("option unsupported")
            << int(EntryPoint::ControlOption) << int(SANE_STATUS_UNSUPPORTED) << int(SANE_STATUS_UNSUPPORTED);
        QTest::newRow("io mode failure") << int(EntryPoint::SetIoMode) << int(SANE_STATUS_IO_ERROR)
                                         << int(SANE_STATUS_INVAL);
        QTest::newRow("open jammed") << int(EntryPoint::Open) << int(SANE_STATUS_JAMMED) << int(SANE_STATUS_IO_ERROR);
    }

    void allowedStatuses()
    {
        QFETCH(int, entry);
        QFETCH(int, status);
        QFETCH(int, allowed);
        QCOMPARE(int(AllowedStatus(EntryPoint(entry), SANE_Status(status))), allowed);
    }

    void debugMessagesFollowTheLevel_data()
    {
        QTest::addColumn<QByteArray>("variable");
        QTest::addColumn<int>("level");
        QTest::newRow("unset") << QByteArray() << 0;
        QTest::newRow("errors") << QByteArray("1") << 1;
        QTest::newRow("trace") << QByteArray("3") << 3;
        QTest::newRow("not a number") << QByteArray("many") << 0;
        QTest::newRow("trailing text") << QByteArray("2x") << 0;
        QTest::newRow("negative") << QByteArray("-4") << 0;
    }

    void debugMessagesFollowTheLevel()
    {
        QFETCH(QByteArray, variable);
        QFETCH(int, level);
        if (variable.isNull())
            qunsetenv("SANE_DEBUG_OVRA");
        else
            qputenv("SANE_DEBUG_OVRA", variable);
        FILE* stream = std::tmpfile();
        InitDebug(stream);
        qunsetenv("SANE_DEBUG_OVRA");
        QCOMPARE(CurrentDebugLevel(), level);
        for (int message = DBG_ERROR; message <= DBG_DETAIL; ++message)
            Dbg(message, "message %d", message);
        std::rewind(stream);
        char text[4096] = {};
        const size_t n = std::fread(text, 1, sizeof text - 1, stream);
        std::fclose(stream);
        InitDebug();
        QByteArray expected;
        for (int message = DBG_ERROR; message <= std::min(level, int(DBG_DETAIL)); ++message)
            expected += "[ovra] message " + QByteArray::number(message) + "\n";
        QCOMPARE(QByteArray(text, int(n)), expected);
    }

    void rawLinesHaveTheAskedHeight_data()
    {
        QTest::addColumn<int>("pageBytes");
        QTest::addColumn<int>("bitDepth");
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("white");
        QTest::newRow("whole page") << 5000 << 8 << 50 << 0;
        QTest::newRow("short grey page completed with white") << 4321 << 8 << 50 << 679;
        QTest::newRow("long page cut at the last line") << 6000 << 8 << 50 << 0;
        QTest::newRow("short lineart page") << 600 << 1 << 50 << 50;
        QTest::newRow("short colour page") << 14000 << 24 << 50 << 1000;
    }

    void rawLinesHaveTheAskedHeight()
    {
        QFETCH(int, pageBytes);
        QFETCH(int, bitDepth);
        QFETCH(int, lines);
        QFETCH(int, white);
        const std::vector<uint8_t> page = Pattern(size_t(pageBytes), 5);
        TricklePageBytes bytes(page, 333);
        std::unique_ptr<LineSource> source = MakeRawLines(bytes, bitDepth, 100, lines);
        std::string error;
        QVERIFY(source->Begin(error));
        const std::vector<uint8_t> frame = ReadAllLines(*source, 1000);
        const size_t size = size_t(source->Geometry().bytesPerLine) * size_t(lines);
        QCOMPARE(frame.size(), size);
        const size_t kept = size - size_t(white);
        QVERIFY(std::equal(frame.begin(), frame.begin() + long(kept), page.begin()));
        const uint8_t whiteByte = bitDepth == 1 ? 0x00 : 0xFF;
        QVERIFY(std::all_of(frame.begin() + long(kept), frame.end(), [&](uint8_t b) { return b == whiteByte; }));
    }

    // A JPEG page decoded while its bytes trickle in: the same pixels as a whole decode.
    void jpegLinesFromATricklingPage()
    {
        std::vector<uint8_t> pixels(64 * 48);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = uint8_t((i % 64) * 4 ^ (i / 64));
        const std::vector<uint8_t> jpeg = EncodeGrayJpeg(64, 48, pixels);
        Frame whole;
        std::string error;
        QVERIFY2(DecodeJpeg(jpeg, whole, error), error.c_str());
        TricklePageBytes bytes(jpeg, 7);
        std::unique_ptr<LineSource> source = MakeJpegLines(bytes);
        QVERIFY2(source->Begin(error), error.c_str());
        QCOMPARE(source->Geometry().lines, 48);
        QCOMPARE(source->Geometry().bytesPerLine, 64);
        QCOMPARE(ReadAllLines(*source, 50), whole.data);
    }

    // One option set as a front end sets it: the status, the info flags, the value kept.
    void optionControl_data()
    {
        QTest::addColumn<int>("option");
        QTest::addColumn<int>("action");
        QTest::addColumn<QVariant>("value"); // a word, or a string
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("info");
        QTest::addColumn<QVariant>("kept"); // none: no value to read back
        const auto row = [](const char* name, int option, int action, QVariant value, int status, int info,
                            QVariant kept) {
            QTest::newRow(name) << option << action << value << status << info << kept;
        };
        const auto set = [&](const char* name, int option, QVariant value, int status, int info, QVariant kept) {
            row(name, option, SANE_ACTION_SET_VALUE, value, status, info, kept);
        };
        const int inexact = SANE_INFO_INEXACT, reload = SANE_INFO_RELOAD_PARAMS;
        const int good = SANE_STATUS_GOOD, inval = SANE_STATUS_INVAL;
        set("resolution unchanged", OPT_RESOLUTION, 300, good, 0, 300);
        set("resolution in range", OPT_RESOLUTION, 150, good, reload, 150);
        set("resolution above range", OPT_RESOLUTION, 1200, good, inexact | reload, 600);
        set("resolution below range", OPT_RESOLUTION, 10, good, inexact | reload, 75);
        set("brightness in range", OPT_BRIGHTNESS, 100, good, 0, 100);
        set("brightness above range", OPT_BRIGHTNESS, 300, good, inexact, 255);
        set("contrast below range", OPT_CONTRAST, -1, good, inexact, 0);
        set("left edge left of the glass", OPT_TL_X, SANE_FIX(-5), good, inexact, 0);
        set("bottom edge below the glass", OPT_BR_Y, SANE_FIX(400), good, inexact, SANE_FIX(297.0));
        set("bottom edge higher", OPT_BR_Y, SANE_FIX(100), good, reload, SANE_FIX(100));
        set("mode on the list", OPT_MODE, "Gray", good, reload, "Gray");
        set("mode unchanged", OPT_MODE, "Color", good, 0, "Color");
        set("mode off the list", OPT_MODE, "Sepia", inval, 0, "Color");
        set("every page in the feeder", OPT_SOURCE, "ADF", good, 0, "ADF");
        set("first page of the feeder", OPT_SOURCE, "ADF Single Page", good, 0, "ADF Single Page");
        set("earlier feeder name", OPT_SOURCE, "ADF multi page", good, inexact, "ADF");
        set("source off the list", OPT_SOURCE, "ADF Duplex", inval, 0, "Flatbed");
        set("option count is read-only", OPT_NUM_OPTS, 3, inval, 0, int(NUM_OPTIONS));
        row("automatic resolution", OPT_RESOLUTION, SANE_ACTION_SET_AUTO, 0, inval, 0, 300);
        row("group has no value", OPT_GEOMETRY_GROUP, SANE_ACTION_GET_VALUE, 0, inval, 0, QVariant());
        row("option past the last", NUM_OPTIONS, SANE_ACTION_GET_VALUE, 0, inval, 0, QVariant());
        set("option before the first", -1, 0, inval, 0, QVariant());
        row("unknown action", OPT_RESOLUTION, 7, 0, inval, 0, 300);
    }

    void optionControl()
    {
        QFETCH(int, option);
        QFETCH(int, action);
        QFETCH(QVariant, value);
        QFETCH(int, status);
        QFETCH(int, info);
        QFETCH(QVariant, kept);
        Session session(NetDevice(), 1); // never connects
        char text[64] = {};
        SANE_Word word = 0;
        void* argument = &word;
        if (value.type() == QVariant::String) {
            qstrncpy(text, value.toString().toUtf8().constData(), sizeof text);
            argument = text;
        } else {
            word = value.toInt();
        }
        SANE_Int flags = -1;
        QCOMPARE(int(session.Control(option, SANE_Action(action), argument, &flags)), status);
        QCOMPARE(flags, status == SANE_STATUS_GOOD ? info : 0);
        QCOMPARE(int(session.Control(option, SANE_Action(action), argument, nullptr)), status); // info may be NULL
        if (!kept.isValid())
            return;
        char readText[64] = {};
        SANE_Word readWord = 0;
        const bool isText = kept.type() == QVariant::String;
        QCOMPARE(session.Control(option, SANE_ACTION_GET_VALUE, isText ? static_cast<void*>(readText) : &readWord,
                                 nullptr),
                 SANE_STATUS_GOOD);
        if (isText)
            QCOMPARE(QString(readText), kept.toString());
        else
            QCOMPARE(readWord, kept.toInt());
    }

    // A front end's walk over every option and every value its constraint offers, and
    // values just outside it: each status and flag as the SANE standard has them.
    void frontEndWalksEveryOption_data()
    {
        QTest::addColumn<bool>("usb");
        QTest::newRow("network scanner") << false;
        QTest::newRow("USB scanner") << true;
    }

    void frontEndWalksEveryOption()
    {
        QFETCH(bool, usb);
        DeviceEntry device = NetDevice();
        device.usb = usb;
        Session session(device, 1); // never connects
        SANE_Int count = 0;
        QCOMPARE(session.Control(OPT_NUM_OPTS, SANE_ACTION_GET_VALUE, &count, nullptr), SANE_STATUS_GOOD);
        QCOMPARE(count, SANE_Int(NUM_OPTIONS));
        QVERIFY(session.Descriptor(count) == nullptr);
        for (SANE_Int option = 0; option < count; ++option) {
            const SANE_Option_Descriptor* d = session.Descriptor(option);
            QVERIFY(d);
            const QByteArray where = QByteArray("option ") + (d->name ? d->name : "?");
            std::vector<char> value(size_t(std::max<SANE_Int>(d->size, 1)) + 64);
            const SANE_Status get = session.Control(option, SANE_ACTION_GET_VALUE, value.data(), nullptr);
            if (d->type == SANE_TYPE_GROUP || !SANE_OPTION_IS_ACTIVE(d->cap)) {
                QVERIFY2(get == SANE_STATUS_INVAL, where);
                QVERIFY2(session.Control(option, SANE_ACTION_SET_VALUE, value.data(), nullptr) == SANE_STATUS_INVAL,
                         where);
                continue;
            }
            QVERIFY2(get == SANE_STATUS_GOOD, where);
            QVERIFY2(session.Control(option, SANE_ACTION_SET_AUTO, nullptr, nullptr)
                         == ((d->cap & SANE_CAP_AUTOMATIC) ? SANE_STATUS_GOOD : SANE_STATUS_INVAL),
                     where);
            if (!SANE_OPTION_IS_SETTABLE(d->cap)) {
                QVERIFY2(session.Control(option, SANE_ACTION_SET_VALUE, value.data(), nullptr) == SANE_STATUS_INVAL,
                         where);
                continue;
            }
            if (d->type == SANE_TYPE_STRING) {
                QVERIFY2(d->constraint_type == SANE_CONSTRAINT_STRING_LIST, where);
                for (const SANE_String_Const* entry = d->constraint.string_list; *entry; ++entry) {
                    QVERIFY2(std::strlen(*entry) < size_t(d->size), where + " " + *entry);
                    WalkString(session, option, *entry, SANE_STATUS_GOOD, where);
                }
                WalkString(session, option, "no such value", SANE_STATUS_INVAL, where);
                continue;
            }
            std::vector<SANE_Word> tries;
            if (d->constraint_type == SANE_CONSTRAINT_RANGE) {
                const SANE_Range& r = *d->constraint.range;
                tries = {r.min, r.max, r.min + (r.max - r.min) / 3, r.min - 1, r.max + 1};
            } else if (d->constraint_type == SANE_CONSTRAINT_WORD_LIST) {
                for (SANE_Int i = 1; i <= d->constraint.word_list[0]; ++i)
                    tries.push_back(d->constraint.word_list[i]);
                tries.push_back(d->constraint.word_list[1] - 1);
            }
            for (SANE_Word wanted : tries)
                WalkWord(session, *d, option, wanted, where);
        }
    }

    // A raw page through the entry points, with a stand-in daemon: every status outside
    // and during the scan, and the frame against the page.
    void scanThroughTheEntryPoints_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("pageBytes");
        QTest::newRow("flatbed page") << QByteArray("Flatbed") << 1 << 5000;
        QTest::newRow("every page of the feeder") << QByteArray("ADF") << 3 << 5000;
        QTest::newRow("short page") << QByteArray("Flatbed") << 1 << 4000;
    }

    void scanThroughTheEntryPoints()
    {
        QFETCH(QByteArray, source);
        QFETCH(int, pages);
        QFETCH(int, pageBytes);
        QTemporaryDir folder;
        PageScript script;
        script.baseName = folder.filePath("ovrascandata").toStdString();
        script.blockSize = 1234;
        for (int p = 0; p < pages; ++p) {
            const std::vector<uint8_t> page = Pattern(size_t(pageBytes), p);
            script.pages.emplace_back(page.begin(), page.end());
        }
        FakeDaemon daemon;
        daemon.Reply(TCP_SCAN_ADFST, Bytes(TCPADFStatusRes{0, ADF_STATUS_LOADED}));
        daemon.On(TCP_SCAN_START, [&](const std::string&) { return NetScanReply(script); });
        QVERIFY(daemon.Start());
        Session session(NetDevice(), daemon.Port());
        SetGrayPage(session, source);

        SANE_Byte byte = 0;
        SANE_Int length = 0, fd = 0;
        SANE_Parameters estimate{};
        QCOMPARE(session.Parameters(&estimate), SANE_STATUS_GOOD);
        QCOMPARE(estimate.pixels_per_line, 100);
        QCOMPARE(estimate.lines, 50);

        for (int p = 0; p < pages; ++p) {
            QCOMPARE(session.Start(), SANE_STATUS_GOOD);
            SANE_Parameters params{};
            QCOMPARE(session.Parameters(&params), SANE_STATUS_GOOD);
            QCOMPARE(params.bytes_per_line, 100);
            QCOMPARE(params.lines, 50);
            QCOMPARE(params.last_frame, SANE_TRUE);
            QCOMPARE(session.SetIoMode(SANE_TRUE), SANE_STATUS_UNSUPPORTED);
            QCOMPARE(session.SetIoMode(SANE_FALSE), SANE_STATUS_GOOD);
            QCOMPARE(session.SelectFd(&fd), SANE_STATUS_UNSUPPORTED);
            std::vector<uint8_t> frame;
            QCOMPARE(ReadFrame(session, frame), SANE_STATUS_EOF);
            QCOMPARE(session.Read(&byte, 1, &length), SANE_STATUS_EOF); // after the end: still the end
            std::vector<uint8_t> expected(script.pages[size_t(p)].begin(), script.pages[size_t(p)].end());
            expected.resize(5000, 0xFF);
            QCOMPARE(frame, expected);
        }
        QCOMPARE(session.Start(), SANE_STATUS_NO_DOCS);
        for (int p = 0; p < pages; ++p)
            QVERIFY(Gone(ovrascan::PageFilePath(script.baseName, p))); // deleted by the daemon
        session.Cancel();
        session.Cancel();
        QCOMPARE(session.Read(&byte, 1, &length), SANE_STATUS_INVAL); // the scan is over
    }

    // The daemon has written part of the page and goes on scanning: lines come at once;
    // a cancel then stops the scan in the daemon.
    void linesArriveWhileThePageIsScanned()
    {
        QTemporaryDir folder;
        const std::vector<uint8_t> page = Pattern(2000, 9);
        std::string reply =
            NetScanReply({folder.filePath("ovrascandata").toStdString(), {{page.begin(), page.end()}}, 2000});
        reply.resize(reply.size() - sizeof(TCPRecordRes)); // the page is written, the scan goes on
        FakeDaemon daemon;
        daemon.Reply(TCP_SCAN_START, reply);
        QVERIFY(daemon.Start());
        Session session(NetDevice(), daemon.Port());
        SetGrayPage(session, "Flatbed");
        QCOMPARE(session.Start(), SANE_STATUS_GOOD);
        std::vector<uint8_t> got(2000);
        SANE_Int length = 0;
        size_t filled = 0;
        while (filled < got.size()) {
            QCOMPARE(session.Read(got.data() + filled, SANE_Int(got.size() - filled), &length), SANE_STATUS_GOOD);
            filled += size_t(length);
        }
        QCOMPARE(got, page);
        session.Cancel();
        SANE_Byte byte = 0;
        QCOMPARE(session.Read(&byte, 1, &length), SANE_STATUS_CANCELLED);
        QCOMPARE(session.Read(&byte, 1, &length), SANE_STATUS_CANCELLED);
        QCOMPARE(session.SetIoMode(SANE_FALSE), SANE_STATUS_INVAL);
        QVERIFY(daemon.WaitForCommands(2, std::chrono::seconds(5)));
        QVERIFY(daemon.Codes().back() == TCP_SCAN_ABORT);
    }

    // A USB feeder scan through the stand-in daemon: the device of the entry's serial
    // number among those of its model is opened, locked, asked for its feeder, woken and
    // started, then unlocked and closed; the other one stays open with the connection.
    void usbScanHoldsOnlyItsDevice()
    {
        QTemporaryDir folder;
        PageScript script;
        script.baseName = folder.filePath("ovrascandata").toStdString();
        const std::vector<uint8_t> page = Pattern(5000, 4);
        script.pages.emplace_back(page.begin(), page.end());
        FakeDaemon daemon;
        const USBFindDevRes scanner = FoundUsbDevice(9, 0x3A53, 0x0131, "S1");
        daemon.Reply(USB_FIND_DEV, FindDevReply({FoundUsbDevice(8, 0x3A53, 0x0131, "S2"), scanner}));
        for (scanCommandType command : {USB_OPEN_DEV, USB_SCAN_LOCK, USB_SCAN_POWERON, USB_SCAN_UNLOCK, USB_CLOSE_DEV})
            daemon.Reply(command, Bytes(int32_t(OVRA_STATUS_GOOD)));
        daemon.Reply(USB_SCAN_ADFSTATUS, Bytes(USBScanAdfStatusRes{ADF_STATUS_LOADED, 0}));
        daemon.On(USB_SCAN_START, [&](const std::string&) { return UsbScanReply(script); });
        QVERIFY(daemon.Start());
        DeviceEntry device;
        device.usb = true;
        device.name = "usb:3a53:0131:S1";
        device.vid = 0x3A53;
        device.pid = 0x0131;
        device.serial = "S1";
        Session session(device, daemon.Port());
        SetGrayPage(session, "ADF Single Page");

        QCOMPARE(session.Start(), SANE_STATUS_GOOD);
        std::vector<uint8_t> frame;
        QCOMPARE(ReadFrame(session, frame), SANE_STATUS_EOF);
        QCOMPARE(frame, page);
        QCOMPARE(session.Start(), SANE_STATUS_NO_DOCS);

        QCOMPARE(daemon.Codes(),
                 (std::vector<int32_t>{USB_FIND_DEV, USB_OPEN_DEV, USB_SCAN_LOCK, USB_SCAN_ADFSTATUS, USB_SCAN_POWERON,
                                       USB_SCAN_START, CMD_DELETE_FILE, USB_SCAN_UNLOCK, USB_CLOSE_DEV}));
        for (const ReceivedCommand& command : daemon.Commands())
            if (command.code != USB_FIND_DEV && command.code != CMD_DELETE_FILE)
                QCOMPARE(RecordFrom<USBCommonReq>(command.request).devfd, scanner.fd);
        const USBScanLockReq lock = RecordFrom<USBScanLockReq>(daemon.Commands()[2].request);
        QCOMPARE(int(lock.info.bitDepth), 8);
        QCOMPARE(int(lock.info.xResolution), 100);
        QVERIFY(lock.info.feederEnabled);
    }

    // sane_init, two handles on one device, open and close again and again, sane_exit,
    // and all of it once more: every status as the standard has it (leaks show under ASan).
    void openAndCloseAgainAndAgain()
    {
        FakeDaemon daemon;
        daemon.Reply(USB_FIND_DEV, Bytes(int32_t(0)));
        TCPDevPropertiesRes properties{};
        properties.devPro.minres = 75;
        properties.devPro.maxres = 600;
        properties.devPro.color = 1;
        daemon.Reply(TCP_SCAN_DEVPROPERTIES, Bytes(properties));
        QVERIFY(daemon.Start());
        QTemporaryDir config;
        QVERIFY(UseConfigDir(config, "net 127.0.0.250\nport " + QByteArray::number(daemon.Port()) + "\n"));
        qunsetenv("OVRA_SCAN_DAEMON_PORT");
        SANE_Handle handle = nullptr;
        QCOMPARE(sane_ovra_open("net:127.0.0.250", &handle), SANE_STATUS_INVAL); // before sane_init
        for (int round = 0; round < 2; ++round) {
            SANE_Int version = 0;
            QCOMPARE(sane_ovra_init(&version, nullptr), SANE_STATUS_GOOD);
            QCOMPARE(SANE_VERSION_MAJOR(version), SANE_CURRENT_MAJOR);
            const SANE_Device** devices = nullptr;
            QCOMPARE(sane_ovra_get_devices(&devices, SANE_FALSE), SANE_STATUS_GOOD);
            QVERIFY(devices[0] && QByteArray(devices[0]->name) == "net:127.0.0.250");
            QVERIFY(!devices[1]);
            QCOMPARE(sane_ovra_open("net:127.0.0.9", &handle), SANE_STATUS_INVAL);
            for (int i = 0; i < 5; ++i) {
                SANE_Handle first = nullptr, second = nullptr;
                QCOMPARE(sane_ovra_open("net:127.0.0.250", &first), SANE_STATUS_GOOD);
                QCOMPARE(sane_ovra_open("", &second), SANE_STATUS_GOOD); // "": the first device
                QVERIFY(first && second && first != second);
                SANE_Word resolution = 1200;
                QCOMPARE(sane_ovra_control_option(first, OPT_RESOLUTION, SANE_ACTION_SET_VALUE, &resolution, nullptr),
                         SANE_STATUS_GOOD);
                QCOMPARE(resolution, 600); // the scanner's range
                SANE_Byte byte = 0;
                SANE_Int length = 0, fd = 0;
                QCOMPARE(sane_ovra_read(second, &byte, 1, &length), SANE_STATUS_INVAL);
                QCOMPARE(sane_ovra_set_io_mode(second, SANE_TRUE), SANE_STATUS_INVAL);
                QCOMPARE(sane_ovra_get_select_fd(second, &fd), SANE_STATUS_INVAL);
                sane_ovra_cancel(first);
                sane_ovra_close(first);
                if (i % 2)
                    sane_ovra_close(second); // else sane_exit closes it
            }
            sane_ovra_exit();
        }
        qunsetenv("SANE_CONFIG_DIR");
    }

private:
    static void SetGrayPage(Session& session, const char* source)
    {
        // 100 dpi, 25.4 x 12.7 mm: 100 pixels by 50 lines of 8-bit grey.
        QCOMPARE(SetText(session, OPT_MODE, "Gray"), SANE_STATUS_GOOD);
        QCOMPARE(SetText(session, OPT_SOURCE, source), SANE_STATUS_GOOD);
        QCOMPARE(SetWord(session, OPT_RESOLUTION, 100), SANE_STATUS_GOOD);
        QCOMPARE(SetWord(session, OPT_BR_X, SANE_FIX(25.4)), SANE_STATUS_GOOD);
        QCOMPARE(SetWord(session, OPT_BR_Y, SANE_FIX(12.7)), SANE_STATUS_GOOD);
    }

    static SANE_Parameters ParametersOf(Session& session)
    {
        SANE_Parameters params{};
        session.Parameters(&params);
        return params;
    }

    static bool SameParameters(const SANE_Parameters& a, const SANE_Parameters& b)
    {
        return a.format == b.format && a.lines == b.lines && a.pixels_per_line == b.pixels_per_line
               && a.bytes_per_line == b.bytes_per_line && a.depth == b.depth;
    }

    // Sets a string: on the list it is kept as given; reload flags only when the
    // parameters changed.
    static void WalkString(Session& session, SANE_Int option, const char* wanted, SANE_Status status,
                           const QByteArray& where)
    {
        const SANE_Parameters before = ParametersOf(session);
        char value[64] = {};
        qstrncpy(value, wanted, sizeof value);
        SANE_Int info = -1;
        QVERIFY2(session.Control(option, SANE_ACTION_SET_VALUE, value, &info) == status, where + " " + wanted);
        if (status != SANE_STATUS_GOOD)
            return;
        char kept[64] = {};
        QVERIFY(session.Control(option, SANE_ACTION_GET_VALUE, kept, nullptr) == SANE_STATUS_GOOD);
        QVERIFY2(QByteArray(kept) == wanted && !(info & SANE_INFO_INEXACT), where + " " + wanted);
        QVERIFY2(bool(info & SANE_INFO_RELOAD_PARAMS) == !SameParameters(before, ParametersOf(session)),
                 where + " " + wanted);
        QVERIFY2(!(info & SANE_INFO_RELOAD_OPTIONS), where + " " + wanted);
    }

    // Sets a word: INEXACT exactly when the value kept differs from the one asked for,
    // and the value kept satisfies the constraint.
    static void WalkWord(Session& session, const SANE_Option_Descriptor& d, SANE_Int option, SANE_Word wanted,
                         const QByteArray& where)
    {
        const QByteArray what = where + " = " + QByteArray::number(wanted);
        const SANE_Parameters before = ParametersOf(session);
        SANE_Word value = wanted;
        SANE_Int info = -1;
        QVERIFY2(session.Control(option, SANE_ACTION_SET_VALUE, &value, &info) == SANE_STATUS_GOOD, what);
        SANE_Word kept = 0;
        QVERIFY(session.Control(option, SANE_ACTION_GET_VALUE, &kept, nullptr) == SANE_STATUS_GOOD);
        QVERIFY2(bool(info & SANE_INFO_INEXACT) == (kept != wanted), what);
        QVERIFY2(bool(info & SANE_INFO_RELOAD_PARAMS) == !SameParameters(before, ParametersOf(session)), what);
        if (d.constraint_type == SANE_CONSTRAINT_RANGE)
            QVERIFY2(kept >= d.constraint.range->min && kept <= d.constraint.range->max, what);
        if (d.constraint_type == SANE_CONSTRAINT_WORD_LIST)
            QVERIFY2(std::count(d.constraint.word_list + 1, d.constraint.word_list + 1 + d.constraint.word_list[0],
                                kept)
                         == 1,
                     what);
    }
};

QTEST_APPLESS_MAIN(TestSaneParts)
#include "tst_saneparts.moc"
