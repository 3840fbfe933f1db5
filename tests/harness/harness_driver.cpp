// Commands for the exports that talk to the virtual USB bus driver:
//   zkuptpconnection                      PnxZkuptpConnection -> "connected"
//   ownership [interface=N] [release=N]   sets the given values, then reads both back:
//                                         "interface","release","get_interface_ok","get_release_ok"
//   hidfilter MODE V0 V1                  PnxSetFilteringHIDevice -> "result"
#include <windows.h>

#include <cstdint>

#include "harness_commands.h"
#include "export_table.h"
#include "pnxscapi.h"

namespace {


bool ZkuptpConnection(harness::Context& ctx, const harness::Args&, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxZkuptpConnection)>(kOrdPnxZkuptpConnection);
    if (!fn) return false;
    out.Add("connected", fn(ctx.service));
    return true;
}

bool Ownership(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto getInterface = ctx.Bind<decltype(&PnxGetOwnershipInterface)>(kOrdPnxGetOwnershipInterface);
    auto setInterface = ctx.Bind<decltype(&PnxSetOwnershipInterface)>(kOrdPnxSetOwnershipInterface);
    auto getRelease = ctx.Bind<decltype(&PnxGetOwnershipReleaseTime)>(kOrdPnxGetOwnershipReleaseTime);
    auto setRelease = ctx.Bind<decltype(&PnxSetOwnershipReleaseTime)>(kOrdPnxSetOwnershipReleaseTime);
    if (!getInterface || !setInterface || !getRelease || !setRelease) return false;
    int64_t interfaceValue = args.GetInt("interface", 99, -1);
    int64_t releaseValue = args.GetInt("release", 99, -1);
    if (interfaceValue >= 0) out.Add("set_interface", setInterface(ctx.service, static_cast<uint32_t>(interfaceValue)));
    if (releaseValue >= 0) out.Add("set_release", setRelease(ctx.service, static_cast<uint32_t>(releaseValue)));
    uint32_t readInterface = 0, readRelease = 0;
    out.Add("get_interface_ok", getInterface(ctx.service, &readInterface));
    out.Add("get_release_ok", getRelease(ctx.service, &readRelease));
    out.Add("interface", readInterface).Add("release", readRelease);
    return true;
}

bool HidFilter(harness::Context& ctx, const harness::Args& args, harness::JsonLine& out) {
    auto fn = ctx.Bind<decltype(&PnxSetFilteringHIDevice)>(kOrdPnxSetFilteringHIDevice);
    if (!fn) return false;
    uint16_t values[2] = {static_cast<uint16_t>(args.GetInt("v0", 1)), static_cast<uint16_t>(args.GetInt("v1", 2))};
    out.Add("result", fn(ctx.service, static_cast<uint16_t>(args.GetInt("mode", 0)), values));
    return true;
}

}  // namespace

HARNESS_COMMAND("zkuptpconnection", "zkuptpconnection", ZkuptpConnection);
HARNESS_COMMAND("ownership", "ownership [interface=N] [release=N]", Ownership);
HARNESS_COMMAND("hidfilter", "hidfilter MODE V0 V1", HidFilter);
