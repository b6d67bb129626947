// Backend parts that need no daemon: the configuration file, page decoding, status
// mapping, options and the settings they send.
#include "backendconfig.h"
#include "ovrabackend.h"
#include "pagedecode.h"

#include <sane/saneopts.h>

#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <jpeglib.h>

using namespace ovrasane;

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

// A loopback port nobody listens on right now.
uint16_t UnusedPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof local;
    bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local);
    getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
    close(fd);
    return ntohs(local.sin_port);
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
        QFile file(dir.filePath("ovra.conf"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("net 127.0.0.249\n");
        file.close();
        qputenv("SANE_CONFIG_DIR", dir.path().toUtf8());
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
        Session session(NetDevice(), 1);  // never connects
        const SANE_Option_Descriptor* mode = session.Descriptor(OPT_MODE);
        QVERIFY(mode && QByteArray(mode->name) == SANE_NAME_SCAN_MODE);
        QVERIFY(session.Descriptor(NUM_OPTIONS) == nullptr);
        SANE_Int info = 0;
        char text[32] = "Gray";
        QCOMPARE(session.Control(OPT_MODE, SANE_ACTION_SET_VALUE, text, &info), SANE_STATUS_GOOD);
        char source[32] = "ADF multi page";
        QCOMPARE(session.Control(OPT_SOURCE, SANE_ACTION_SET_VALUE, source, &info), SANE_STATUS_GOOD);
        char bad[32] = "Sepia";
        QCOMPARE(session.Control(OPT_MODE, SANE_ACTION_SET_VALUE, bad, &info), SANE_STATUS_INVAL);
        SANE_Word resolution = 1200;
        QCOMPARE(session.Control(OPT_RESOLUTION, SANE_ACTION_SET_VALUE, &resolution, &info), SANE_STATUS_GOOD);
        QVERIFY(info & SANE_INFO_INEXACT);
        SANE_Word read = 0;
        QCOMPARE(session.Control(OPT_RESOLUTION, SANE_ACTION_GET_VALUE, &read, &info), SANE_STATUS_GOOD);
        QCOMPARE(read, 600);  // the scanner's highest
        SANE_Word x = SANE_FIX(25.4), y = SANE_FIX(50.8), left = SANE_FIX(25.4);
        QCOMPARE(session.Control(OPT_BR_X, SANE_ACTION_SET_VALUE, &x, &info), SANE_STATUS_GOOD);
        x = SANE_FIX(50.8);
        QCOMPARE(session.Control(OPT_BR_X, SANE_ACTION_SET_VALUE, &x, &info), SANE_STATUS_GOOD);
        QCOMPARE(session.Control(OPT_TL_X, SANE_ACTION_SET_VALUE, &left, &info), SANE_STATUS_GOOD);
        QCOMPARE(session.Control(OPT_BR_Y, SANE_ACTION_SET_VALUE, &y, &info), SANE_STATUS_GOOD);
        SANE_Word brightness = 300;
        QCOMPARE(session.Control(OPT_BRIGHTNESS, SANE_ACTION_SET_VALUE, &brightness, &info), SANE_STATUS_GOOD);

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
        Session session(NetDevice(), 1);  // never connects
        char text[32] = SANE_VALUE_SCAN_MODE_LINEART;
        QCOMPARE(session.Control(OPT_MODE, SANE_ACTION_SET_VALUE, text, nullptr), SANE_STATUS_GOOD);
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
        SANE_Word resolution = 1200;
        QCOMPARE(session.Control(OPT_RESOLUTION, SANE_ACTION_SET_VALUE, &resolution, nullptr), SANE_STATUS_GOOD);
        QCOMPARE(session.Settings().resolution, 1200);  // flatbed
        QCOMPARE(int(session.Settings().format.value()), int(ovrascan::ImageFormat::Raw));
        char source[32] = "ADF single page";
        QCOMPARE(session.Control(OPT_SOURCE, SANE_ACTION_SET_VALUE, source, nullptr), SANE_STATUS_GOOD);
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
    }
};

QTEST_APPLESS_MAIN(TestSaneParts)
#include "tst_saneparts.moc"
