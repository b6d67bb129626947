// Emulated printers seen through real libusb in this process (run under
// libumockdev-preload).
#include "libusbcalls.h"
#include "ovraemu/usbprinterbed.h"

#include <QtTest>

#include <atomic>
#include <thread>

using namespace ovraemu;
using namespace ovraemu::test;

namespace {

constexpr uint16_t kVendor = 0x2D8A;
constexpr uint16_t kProduct = 0x0B19;

UsbPrinterConfig Printer(const std::string& serial)
{
    UsbPrinterConfig config;
    config.vendorId = kVendor;
    config.productId = kProduct;
    config.serial = serial;
    return config;
}

std::vector<uint8_t> Pattern(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<uint8_t>(i * 31 + i / 251);
    return bytes;
}

// A bed with one printer of serial number SN1.
struct PrinterBed : UsbPrinterBed {
    const int id = AddPrinter(Printer("SN1"));
};

// An open and claimed printer, released and closed at the end of the scope.
struct ClaimedPrinter {
    UsbContext usb;
    libusb_device_handle* handle = nullptr;
    int claim = LIBUSB_ERROR_OTHER;
    int sent = -1;              // bytes the last bulk OUT transfer moved
    std::vector<uint8_t> reply; // the answer to the last class request
    std::vector<uint8_t> read;  // what the last bulk IN read of up to 1024 bytes got

    explicit ClaimedPrinter(const std::string& serial) : handle(OpenBySerial(usb.Get(), kVendor, kProduct, serial))
    {
        if (handle)
            claim = libusb_claim_interface(handle, 0);
    }
    ~ClaimedPrinter()
    {
        if (handle && claim == 0)
            libusb_release_interface(handle, 0);
        if (handle)
            libusb_close(handle);
    }
    int BulkOut(std::vector<uint8_t> data, uint8_t endpoint = 0x01, unsigned timeoutMs = 3000)
    {
        sent = -1;
        return libusb_bulk_transfer(handle, endpoint, data.data(), static_cast<int>(data.size()), &sent, timeoutMs);
    }
    int Request(uint8_t request, uint16_t length = 1024) { return ClassRequestIn(handle, request, length, reply); }
    int BulkIn(unsigned timeoutMs)
    {
        int received = 0;
        read.assign(1024, 0);
        const int result =
            libusb_bulk_transfer(handle, 0x81, read.data(), static_cast<int>(read.size()), &received, timeoutMs);
        read.resize(static_cast<size_t>(received));
        return result;
    }
};

} // namespace

class UsbPrinterBedTest : public QObject
{
    Q_OBJECT

private slots:
    void twoPrintersOfOneModelAreToldApartBySerial()
    {
        UsbPrinterBed bed;
        bed.AddPrinter(Printer("K246A0001"));
        bed.AddPrinter(Printer("K246B0002"));
        UsbPrinterConfig other = Printer("X");
        other.productId = 0x0001;
        bed.AddPrinter(other);

        UsbContext usb;
        QCOMPARE(CountDevices(usb.Get(), kVendor, kProduct), 2);
        std::vector<std::string> serials = SerialsOf(usb.Get(), kVendor, kProduct);
        std::sort(serials.begin(), serials.end());
        QCOMPARE(serials, (std::vector<std::string>{"K246A0001", "K246B0002"}));
        libusb_device_handle* handle = OpenBySerial(usb.Get(), kVendor, kProduct, "K246B");
        QVERIFY(handle);
        QCOMPARE(libusb_get_device_address(libusb_get_device(handle)), uint8_t(3));
        libusb_close(handle);
    }

    void printerWithoutSerialOffersNoSerialString()
    {
        UsbPrinterBed bed;
        UsbPrinterConfig config = Printer("");
        config.hasSerial = false;
        bed.AddPrinter(config);
        UsbContext usb;
        QCOMPARE(SerialsOf(usb.Get(), kVendor, kProduct), std::vector<std::string>{"<none>"});
    }

    void configurationWalkFindsPrinterClassWithBulkPair()
    {
        PrinterBed bed;
        ClaimedPrinter printer("SN1");
        QVERIFY(printer.handle);
        const PrinterInterface found = FindPrinterInterface(libusb_get_device(printer.handle));
        QCOMPARE(found.interfaceNumber, 0);
        QCOMPARE(found.outEndpoint, uint8_t(0x01));
        QCOMPARE(found.inEndpoint, uint8_t(0x81));
    }

    void statusRequestGetsConfiguredBytesCutToLength()
    {
        PrinterBed bed;
        const std::vector<uint8_t> status = Pattern(40);
        bed.SetStatusReply(bed.id, status);
        ClaimedPrinter printer("SN1");
        QCOMPARE(printer.claim, 0);

        QCOMPARE(printer.Request(0x33), 40);
        QCOMPARE(printer.reply, status);
        QCOMPARE(printer.Request(0x33, 16), 16);
        QCOMPARE(printer.reply, std::vector<uint8_t>(status.begin(), status.begin() + 16));

        const ControlRequest expected{0xA1, 0x33, 0, 0, 1024};
        QCOMPARE(bed.ControlRequests(bed.id).front(), expected);
        QCOMPARE(bed.CountRequests(bed.id, 0x33), 2);
    }

    void cancelRequestIsRecordedInOrder()
    {
        PrinterBed bed;
        ClaimedPrinter printer("SN1");
        QVERIFY(printer.Request(0x33) >= 0);
        QCOMPARE(printer.Request(0x34, 1017), 0);

        const std::vector<ControlRequest> requests = bed.ControlRequests(bed.id);
        QCOMPARE(requests.size(), size_t(2));
        QCOMPARE(requests[1], (ControlRequest{0xA1, 0x34, 0, 0, 1017}));
        QCOMPARE(bed.CountRequests(bed.id, 0x34), 1);
        QCOMPARE(bed.CountRequests(bed.id, 0x35), 0);
    }

    void unknownClassRequestIsStalledButRecorded()
    {
        PrinterBed bed;
        ClaimedPrinter printer("SN1");
        QCOMPARE(printer.Request(0x40, 8), int(LIBUSB_ERROR_PIPE));
        QCOMPARE(bed.CountRequests(bed.id, 0x40), 1);
    }

    void unpluggedPrinterLeavesEnumerationAndFailsOpenHandles()
    {
        UsbPrinterBed bed;
        const int gone = bed.AddPrinter(Printer("GONE"));
        bed.AddPrinter(Printer("STAYS"));
        ClaimedPrinter printer("GONE");
        QCOMPARE(printer.claim, 0);

        bed.Unplug(gone);
        QVERIFY(printer.Request(0x33) < 0);
        UsbContext usb;
        QCOMPARE(CountDevices(usb.Get(), kVendor, kProduct), 1);
        QCOMPARE(SerialsOf(usb.Get(), kVendor, kProduct), std::vector<std::string>{"STAYS"});
    }

    void unplugEndsWaitingRead()
    {
        PrinterBed bed;
        ClaimedPrinter printer("SN1");
        int result = 0;
        QElapsedTimer timer;
        timer.start();
        std::thread reader([&] { result = printer.BulkIn(10000); });
        QThread::msleep(200);
        bed.Unplug(bed.id);
        reader.join();
        QCOMPARE(result, int(LIBUSB_ERROR_NO_DEVICE));
        QVERIFY(timer.elapsed() < 5000);
    }

    void refuseOpenMakesOpenFailUntilCleared()
    {
        PrinterBed bed;
        bed.SetFault(bed.id, UsbFault::RefuseOpen);
        {
            UsbContext usb;
            QCOMPARE(OpenResult(usb.Get(), kVendor, kProduct), int(LIBUSB_ERROR_IO));
        }
        bed.SetFault(bed.id, UsbFault::None);
        UsbContext usb;
        QCOMPARE(OpenResult(usb.Get(), kVendor, kProduct), 0);
    }

    void failClaimMakesClaimBusy()
    {
        PrinterBed bed;
        bed.SetFault(bed.id, UsbFault::FailClaim);
        ClaimedPrinter printer("SN1");
        QVERIFY(printer.handle);
        QCOMPARE(printer.claim, int(LIBUSB_ERROR_BUSY));
        QCOMPARE(bed.CountRequests(bed.id, 0x33), 0);
    }

    void interfaceClaimedElsewhereIsBusy()
    {
        PrinterBed bed;
        ClaimedPrinter first("SN1");
        QCOMPARE(first.claim, 0);
        ClaimedPrinter second("SN1");
        QCOMPARE(second.claim, int(LIBUSB_ERROR_BUSY));
    }

    void kernelDriverIsReportedAndDetached()
    {
        PrinterBed bed;
        bed.SetFault(bed.id, UsbFault::KernelDriverActive);
        ClaimedPrinter printer("SN1");
        QCOMPARE(printer.claim, int(LIBUSB_ERROR_BUSY));
        QCOMPARE(libusb_kernel_driver_active(printer.handle, 0), 1);
        QVERIFY(!bed.KernelDriverDetached(bed.id));

        QCOMPARE(libusb_detach_kernel_driver(printer.handle, 0), 0);
        QVERIFY(bed.KernelDriverDetached(bed.id));
        QCOMPARE(libusb_kernel_driver_active(printer.handle, 0), 0);
        QCOMPARE(libusb_detach_kernel_driver(printer.handle, 0), int(LIBUSB_ERROR_NOT_FOUND));
        printer.claim = libusb_claim_interface(printer.handle, 0);
        QCOMPARE(printer.claim, 0);
        // Now usbfs itself holds the interface, which libusb does not count as a kernel driver.
        QCOMPARE(libusb_kernel_driver_active(printer.handle, 0), 0);
    }

    void stallControlFailsClassRequestsOnly()
    {
        PrinterBed bed;
        bed.SetStatusReply(bed.id, {1, 2, 3});
        bed.SetFault(bed.id, UsbFault::StallControl);
        ClaimedPrinter printer("SN1");
        QVERIFY(printer.handle); // the serial string was still read
        QCOMPARE(printer.Request(0x33), int(LIBUSB_ERROR_PIPE));
        QCOMPARE(bed.CountRequests(bed.id, 0x33), 1);
    }

    void heldControlEndsAtTimeOutOrUnplug()
    {
        PrinterBed bed;
        ClaimedPrinter held("SN1");
        bed.SetFault(bed.id, UsbFault::HoldControl);
        uint8_t reply[64] = {0};
        const auto status = [&held, &reply](unsigned timeoutMs) {
            return libusb_control_transfer(held.handle, 0xA1, kStatusRequest, 0, 0, reply, sizeof reply, timeoutMs);
        };
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(status(300), int(LIBUSB_ERROR_TIMEOUT));
        QVERIFY(timer.elapsed() >= 250);
        int result = 0;
        std::thread poll([&] { result = status(0); });
        QTRY_COMPARE(bed.CountRequests(bed.id, kStatusRequest), 2);
        bed.Unplug(bed.id);
        poll.join();
        QCOMPARE(result, int(LIBUSB_ERROR_NO_DEVICE));
    }

    void heldBulkOutEndsAtTimeOutOrUnplug()
    {
        PrinterBed bed;
        bed.HoldBulkOut(bed.id, 40000);
        const std::vector<uint8_t> image = Pattern(200000);
        ClaimedPrinter printer("SN1");
        QCOMPARE(printer.BulkOut(image, 0x01, 300), int(LIBUSB_ERROR_TIMEOUT));
        QCOMPARE(printer.sent, 40000);
        int result = 0;
        std::thread writer([&] { result = printer.BulkOut(image, 0x01, 0); });
        QTRY_COMPARE(bed.BulkOutData(bed.id).size(), size_t(80000));
        bed.Unplug(bed.id);
        writer.join();
        QCOMPARE(result, int(LIBUSB_ERROR_NO_DEVICE));
        // The printer took the first 40000 bytes of each transfer, nothing after its stop.
        const std::vector<std::vector<uint8_t>> transfers = bed.BulkOutTransfers(bed.id);
        QCOMPARE(transfers.size(), size_t(2));
        QVERIFY(transfers[1] == std::vector<uint8_t>(image.begin(), image.begin() + 40000));
    }

    void largeBulkOutArrivesByteForByte()
    {
        PrinterBed bed;
        const int other = bed.AddPrinter(Printer("SN2"));
        const std::vector<uint8_t> image = Pattern(4 * 1024 * 1024 + 77);
        ClaimedPrinter printer("SN1");
        QCOMPARE(printer.BulkOut(image), 0);
        QCOMPARE(printer.sent, int(image.size()));
        QVERIFY(bed.BulkOutData(bed.id) == image);
        QVERIFY(bed.BulkOutData(other).empty());
    }

    void firmwareImageArrivesWholeAsOneTransferWithoutTimeLimit()
    {
        PrinterBed bed;
        const std::vector<uint8_t> image = Pattern(6 * 1024 * 1024 + 4093);
        ClaimedPrinter printer("SN1");
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(printer.BulkOut(image, 0x01, 0), 0);
        const qint64 elapsedMs = timer.elapsed();
        QCOMPARE(printer.sent, int(image.size()));
        QVERIFY(bed.BulkOutData(bed.id) == image);
        const std::vector<std::vector<uint8_t>> transfers = bed.BulkOutTransfers(bed.id);
        QCOMPARE(transfers.size(), size_t(1));
        QVERIFY(transfers.front() == image);
        // 390 URBs of 16 KiB; a firmware test sends several images.
        QVERIFY2(elapsedMs < 15000, qPrintable(QString("6 MiB took %1 ms").arg(elapsedMs)));
        qInfo("6 MiB over bulk OUT: %lld ms", static_cast<long long>(elapsedMs));
    }

    void zeroLengthTransferIsOneEmptyTransfer()
    {
        PrinterBed bed;
        ClaimedPrinter printer("SN1");
        QCOMPARE(printer.BulkOut({}, 0x01, 0), 0);
        QCOMPARE(printer.sent, 0);
        QCOMPARE(bed.BulkOutTransfers(bed.id), std::vector<std::vector<uint8_t>>{{}});
    }

    void bulkOutFailsOnceAfterTakingPartThenWhole()
    {
        PrinterBed bed;
        bed.FailBulkOut(bed.id, 1, 40000);
        const std::vector<uint8_t> image = Pattern(200000);
        ClaimedPrinter printer("SN1");
        QCOMPARE(printer.BulkOut(image, 0x01, 0), int(LIBUSB_ERROR_PIPE));
        QVERIFY(printer.sent < int(image.size()));
        QCOMPARE(printer.BulkOut(image, 0x01, 0), 0);
        QCOMPARE(printer.sent, int(image.size()));

        const std::vector<std::vector<uint8_t>> transfers = bed.BulkOutTransfers(bed.id);
        QCOMPARE(transfers.size(), size_t(2));
        // The failed transfer stopped where the printer stalled: nothing of its later URBs arrived.
        QVERIFY(transfers[0] == std::vector<uint8_t>(image.begin(), image.begin() + 40000));
        QVERIFY(transfers[1] == image);
        QCOMPARE(bed.BulkOutData(bed.id).size(), size_t(40000 + 200000));
    }

    void bulkOutFailsAlwaysUntilLifted()
    {
        PrinterBed bed;
        bed.FailBulkOut(bed.id, kEveryTransfer);
        ClaimedPrinter printer("SN1");
        for (int attempt = 0; attempt < 3; ++attempt)
            QCOMPARE(printer.BulkOut(Pattern(70000), 0x01, 0), int(LIBUSB_ERROR_PIPE));
        QCOMPARE(printer.BulkOut({}), int(LIBUSB_ERROR_PIPE)); // a zero-length packet is stalled too
        QVERIFY(bed.BulkOutData(bed.id).empty());
        QCOMPARE(bed.BulkOutTransfers(bed.id).size(), size_t(4));

        bed.FailBulkOut(bed.id, 0);
        QCOMPARE(printer.BulkOut({1, 2, 3}), 0);
        QCOMPARE(bed.BulkOutData(bed.id), (std::vector<uint8_t>{1, 2, 3}));
    }

    void shortWriteReportsFewerBytesWithoutError()
    {
        PrinterBed bed;
        bed.ShortenBulkOut(bed.id, 6);
        ClaimedPrinter printer("SN1");
        const std::vector<uint8_t> request{0xA5, 0x00, 0x07, 0x50, 0xE0, 0x2E, 0x02, 0x01, 0x01, 0x01};
        QCOMPARE(printer.BulkOut(request), 0);
        QCOMPARE(printer.sent, 6);

        // A transfer of many URBs ends after the limit; its later URBs do not reach the printer.
        bed.ShortenBulkOut(bed.id, 50000);
        const std::vector<uint8_t> image = Pattern(300000);
        QCOMPARE(printer.BulkOut(image, 0x01, 0), 0);
        QCOMPARE(printer.sent, 50000);

        bed.ShortenBulkOut(bed.id, std::nullopt);
        QCOMPARE(printer.BulkOut(request), 0);
        QCOMPARE(printer.sent, int(request.size()));

        const std::vector<std::vector<uint8_t>> transfers = bed.BulkOutTransfers(bed.id);
        QCOMPARE(transfers.size(), size_t(3));
        QCOMPARE(transfers[0], std::vector<uint8_t>(request.begin(), request.begin() + 6));
        QVERIFY(transfers[1] == std::vector<uint8_t>(image.begin(), image.begin() + 50000));
        QCOMPARE(transfers[2], request);
    }

    void bulkOutEndpointOtherThan0x01()
    {
        UsbPrinterBed bed;
        UsbPrinterConfig config = Printer("SN1");
        config.bulkOutEndpoint = 0x02;
        const int id = bed.AddPrinter(config);
        ClaimedPrinter printer("SN1");
        QVERIFY(printer.handle);
        // The channel's walk wants OUT 0x01 and finds none.
        QCOMPARE(FindPrinterInterface(libusb_get_device(printer.handle)).interfaceNumber, -1);
        const PrinterInterface seen = FirstPrinterSetting(libusb_get_device(printer.handle));
        QCOMPARE(seen.outEndpoint, uint8_t(0x02));
        QCOMPARE(seen.inEndpoint, uint8_t(0x81));

        QCOMPARE(printer.BulkOut({7, 8}, 0x02), 0);
        QVERIFY(printer.BulkOut({9}, 0x01) < 0); // no such endpoint
        QCOMPARE(bed.BulkOutData(id), (std::vector<uint8_t>{7, 8}));
    }

    void secondSettingCarriesItsOwnEndpoints()
    {
        UsbPrinterBed bed;
        UsbPrinterConfig config = Printer("SN1");
        config.bulkOutEndpoint = 0x03;
        config.bulkInEndpoint = 0x83;
        UsbAlternateSetting second;
        second.interfaceClass = 7;
        second.interfaceSubClass = 1;
        second.interfaceProtocol = 2;
        config.alternateSettings = {second};
        const int id = bed.AddPrinter(config);
        ClaimedPrinter printer("SN1");
        QCOMPARE(printer.claim, 0);
        // The walk accepts setting 1 of interface 0.
        const PrinterInterface found = FindPrinterInterface(libusb_get_device(printer.handle));
        QCOMPARE(found.interfaceNumber, 0);
        QCOMPARE(found.outEndpoint, uint8_t(0x01));

        // Only the endpoints of the selected setting carry transfers.
        QVERIFY(printer.BulkOut({1}, 0x01) < 0);
        QCOMPARE(printer.BulkOut({2}, 0x03), 0);
        QCOMPARE(libusb_set_interface_alt_setting(printer.handle, 0, 1), 0);
        QCOMPARE(printer.BulkOut({3}, 0x01), 0);
        QVERIFY(printer.BulkOut({4}, 0x03) < 0);
        QVERIFY(libusb_set_interface_alt_setting(printer.handle, 0, 2) < 0);
        QCOMPARE(bed.BulkOutData(id), (std::vector<uint8_t>{2, 3}));
    }

    void requestsReachingTheNodeAreCounted()
    {
        PrinterBed bed;
        {
            UsbContext usb;
            QCOMPARE(CountDevices(usb.Get(), kVendor, kProduct), 1); // enumeration reads sysfs only
        }
        QCOMPARE(bed.UsbfsRequestCount(bed.id), 0ul);
        ClaimedPrinter printer("SN1");
        QVERIFY(bed.UsbfsRequestCount(bed.id) > 0);
    }

    void bulkRequestIsAnsweredByHandler()
    {
        PrinterBed bed;
        std::vector<uint8_t> seen;
        bed.SetBulkHandler(bed.id, [&seen](const std::vector<uint8_t>& request) {
            seen = request;
            std::vector<uint8_t> reply(request.rbegin(), request.rend());
            return BulkReply(reply);
        });
        ClaimedPrinter printer("SN1");
        const std::vector<uint8_t> request{0xA5, 0x00, 0x04, 0x50, 0xE0, 0xB2, 0x01};
        QCOMPARE(printer.BulkOut(request), 0);
        QCOMPARE(printer.BulkIn(3000), 0);
        QCOMPARE(seen, request);
        QCOMPARE(printer.read, std::vector<uint8_t>(request.rbegin(), request.rend()));
    }

    void bulkReadTimesOutWithoutReplyAndGetsEmptyReply()
    {
        PrinterBed bed;
        std::atomic<int> calls{0};
        bed.SetBulkHandler(bed.id, [&calls](const std::vector<uint8_t>&) {
            return ++calls == 1 ? BulkReply() : BulkReply(std::vector<uint8_t>{});
        });
        ClaimedPrinter printer("SN1");
        QCOMPARE(printer.BulkOut({0x01}), 0);
        QCOMPARE(printer.BulkIn(300), int(LIBUSB_ERROR_TIMEOUT));
        QCOMPARE(bed.BulkOutData(bed.id), std::vector<uint8_t>{0x01});

        QCOMPARE(printer.BulkOut({0x02}), 0);
        QCOMPARE(printer.BulkIn(3000), 0);
        QVERIFY(printer.read.empty());
        QCOMPARE(calls.load(), 2);
    }

    void replyLongerThanReadIsReadInPieces()
    {
        PrinterBed bed;
        const std::vector<uint8_t> answer = Pattern(1500);
        bed.SetBulkHandler(bed.id, [&answer](const std::vector<uint8_t>&) { return BulkReply(answer); });
        ClaimedPrinter printer("SN1");
        QCOMPARE(printer.BulkOut({0x10}), 0);
        QCOMPARE(printer.BulkIn(3000), 0);
        std::vector<uint8_t> whole = printer.read;
        QCOMPARE(printer.BulkIn(3000), 0);
        whole.insert(whole.end(), printer.read.begin(), printer.read.end());
        QCOMPARE(whole, answer);
    }

    void pollsFromWorkerThreadsRunBesideTestThreadChanges()
    {
        UsbPrinterBed bed;
        const int a = bed.AddPrinter(Printer("A"));
        const int b = bed.AddPrinter(Printer("B"));
        constexpr int kPolls = 15;
        bed.SetStatusReply(a, {0xFF});
        bed.SetStatusReply(b, {0xFF});
        std::atomic<int> failures{0};
        auto poll = [&failures](const std::string& serial) {
            for (int i = 0; i < kPolls; ++i) {
                ClaimedPrinter printer(serial);
                if (printer.claim != 0 || printer.Request(0x33) < 0 || printer.reply.size() != 1)
                    ++failures;
            }
        };
        std::thread first(poll, "A");
        std::thread second(poll, "B");
        for (int i = 0; i < 50; ++i) {
            bed.SetStatusReply(a, {static_cast<uint8_t>(i)});
            bed.SetStatusReply(b, {static_cast<uint8_t>(i)});
            bed.ControlRequests(a);
        }
        first.join();
        second.join();
        QCOMPARE(failures.load(), 0);
        QCOMPARE(bed.CountRequests(a, 0x33), kPolls);
        QCOMPARE(bed.CountRequests(b, 0x33), kPolls);
    }

    void unknownPrinterIdThrows()
    {
        UsbPrinterBed bed;
        QVERIFY_EXCEPTION_THROWN(bed.SetStatusReply(99, {}), std::out_of_range);
        QVERIFY_EXCEPTION_THROWN(bed.BulkOutData(99), std::out_of_range);
    }
};

QTEST_GUILESS_MAIN(UsbPrinterBedTest)
#include "tst_usbprinterbed.moc"
