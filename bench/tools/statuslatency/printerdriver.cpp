#include "printerdriver.h"

#include "controlsocket.h"
#include "hexbytes.h"
#include "ovraemu/netscenario.h"
#include "printerstatebuilder.h"
#include "utilprinterstatus.h"

namespace ovrabench {

namespace {

const int c_iFullToner = 100;

// The emulated printer's state after entering the named state, or false for an unknown name.
bool StateFor(const std::string& stateName, ovraemu::EmuPrinterState& state)
{
    const ovraemu::NamedState* named = ovraemu::FindNamedState(stateName);
    if (!named || !named->SetsPrinterState())
        return false;
    ovraemu::ScenarioStep step = ovraemu::InitialStep(*named);
    step.toner = c_iFullToner;
    ovraemu::ApplyStep(step, &state);
    return true;
}

ovraemu::EmuPrinterState BaseState(const std::string& serial)
{
    ovraemu::EmuPrinterState state;
    state.product = "Ovra P2200DN";
    state.serial = serial;
    return state;
}

class UsbDriver : public PrinterDriver
{
public:
    UsbDriver(std::string socket, std::string id) : m_socket(std::move(socket)), m_id(std::move(id)) {}

    bool Enter(const std::string& stateName) override
    {
        ovraemu::EmuPrinterState state = BaseState("BENCH-USB-" + m_id);
        if (!StateFor(stateName, state))
            return false;
        const std::string command = "status " + m_id + " " + ovraemu::ToHex(ovraemu::BuildStatusBody(state));
        const std::optional<std::string> reply = ovraemu::SendControlCommand(m_socket, command);
        return reply && reply->compare(0, 2, "ok") == 0;
    }
    long Polls() const override
    {
        const std::optional<std::string> reply = ovraemu::SendControlCommand(m_socket, "count " + m_id + " 33");
        return reply && reply->compare(0, 3, "ok ") == 0 ? std::stol(reply->substr(3)) : -1;
    }
    const char* Kind() const override { return "usb"; }

private:
    std::string m_socket;
    std::string m_id;
};

class NetDriver : public PrinterDriver
{
public:
    explicit NetDriver(const std::string& address) : m_printer(address, BaseState("BENCH-NET-" + address)) {}

    bool Start(std::string* error) { return m_printer.Start(error); }
    bool Enter(const std::string& stateName) override
    {
        ovraemu::EmuPrinterState state = m_printer.State();
        if (!StateFor(stateName, state))
            return false;
        m_printer.SetState(state);
        return true;
    }
    long Polls() const override { return m_printer.StatusRequests(); }
    const char* Kind() const override { return "net"; }

private:
    ovraemu::NetPrinter m_printer;
};

} // namespace

std::unique_ptr<PrinterDriver> MakeUsbDriver(const std::string& controlSocket, const std::string& printerId)
{
    return std::make_unique<UsbDriver>(controlSocket, printerId);
}

std::unique_ptr<PrinterDriver> MakeNetDriver(const std::string& address, std::string* error)
{
    auto driver = std::make_unique<NetDriver>(address);
    if (!driver->Start(error))
        return nullptr;
    return driver;
}

int ShownStatus(const std::string& stateName)
{
    const ovraemu::NamedState* named = ovraemu::FindNamedState(stateName);
    return named ? UtilPrinterStatus::GetPrinterStatusEnum(named->statusCode) : -1;
}

} // namespace ovrabench
