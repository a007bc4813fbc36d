// The C entry points of the hardware libtrvwdm.so.1: the maker's cards
// from sysfs, their ports through ioperm(). Without the permission the
// library answers as one whose kernel driver is not loaded.
#include "../trvwdm.h"
#include "PciCards.h"
#include "PortAccess.h"

namespace {

constexpr uint32_t SystemControlPort = 0x61;

struct Driver {
    std::vector<trvhw::PciCard> cards;
    trvhw::PortAccess ports = trvhw::PortAccess::System();
    bool loaded = false;

    Driver()
    {
        cards = trvhw::EnumerateCards("/sys");
        std::vector<trvhw::PortRange> ranges{{SystemControlPort, 1}};
        for (const trvhw::PciCard &c : cards)
            ranges.push_back({c.ioBase, c.ioSize});
        loaded = ports.Grant(ranges);
    }
};

// Set up on first use, on the thread that uses the ports from then on.
Driver &TheDriver()
{
    static Driver driver;
    return driver;
}

} // namespace

extern "C" {

uint32_t InPortB(uint32_t port)
{
    Driver &d = TheDriver();
    return d.loaded ? d.ports.In8(port) : TRVWDM_DRIVER_ABSENT;
}

uint32_t InPort(uint32_t port)
{
    Driver &d = TheDriver();
    return d.loaded ? d.ports.In16(port) : 0;
}

void OutPortB(uint32_t port, uint32_t value)
{
    Driver &d = TheDriver();
    if (d.loaded)
        d.ports.Out8(port, value);
}

void OutPort(uint32_t port, uint32_t value)
{
    Driver &d = TheDriver();
    if (d.loaded)
        d.ports.Out16(port, value);
}

int32_t QueryCardInfo(int32_t cardIndex, uint32_t *deviceId, uint32_t *base, void *, void *)
{
    Driver &d = TheDriver();
    if (!d.loaded || cardIndex < 0 || cardIndex >= int32_t(d.cards.size()))
        return 0;
    if (deviceId)
        *deviceId = d.cards[size_t(cardIndex)].deviceId;
    if (base)
        *base = d.cards[size_t(cardIndex)].ioBase;
    return 1;
}

int32_t GetNumCards(void)
{
    Driver &d = TheDriver();
    return d.loaded ? int32_t(d.cards.size()) : 0;
}

} // extern "C"
