#include "ovrascan/scantransport.h"

namespace ovrascan {

TransportTraits TraitsOf(ScanTarget::Kind kind) { return kind == ScanTarget::Kind::Usb ? kUsbTraits : kNetTraits; }

std::unique_ptr<ScanTransport> MakeScanTransport(ScanClient& client, const ScanTarget& target)
{
    return target.kind == ScanTarget::Kind::Usb ? MakeUsbTransport(client, target) : MakeNetTransport(client, target);
}

} // namespace ovrascan
