// The C entry points of the hardware libtrvwdm.so.1: the maker's cards from
// sysfs (under $TRVWDM_SYSFS, else /sys), their registers through VFIO or
// the cards' own resource files, opened once when the library loads and
// closed at exit. When a card is present but cannot be opened, the library
// answers as one whose kernel driver is not loaded (0xAA55 from InPortB),
// and GetDriverFault says why.
#include "../trvwdm.h"
#include "CardPorts.h"

#include <cstdlib>

namespace {

struct Driver {
    trvhw::CardPorts ports;
    bool missing = false; // a card of the maker that cannot be driven

    Driver()
    {
        const char *root = std::getenv("TRVWDM_SYSFS");
        const std::string sysfs = root && *root ? root : "/sys";
        missing = !ports.Open(sysfs, "/dev", trvhw::EnumerateCards(sysfs));
    }
};

Driver &TheDriver()
{
    static Driver driver;
    return driver;
}

} // namespace

extern "C" {

uint32_t InPortB(uint32_t port)
{
    const Driver &d = TheDriver();
    if (d.missing && !d.ports.CardAt(port, 8))
        return TRVWDM_DRIVER_ABSENT;
    return d.ports.In8(port);
}

uint32_t InPort(uint32_t port)
{
    return TheDriver().ports.In16(port);
}

void OutPortB(uint32_t port, uint32_t value)
{
    TheDriver().ports.Out8(port, value);
}

void OutPort(uint32_t port, uint32_t value)
{
    TheDriver().ports.Out16(port, value);
}

int32_t QueryCardInfo(int32_t cardIndex, uint32_t *deviceId, uint32_t *base, void *, void *)
{
    const std::vector<trvhw::PciCard> &cards = TheDriver().ports.Cards();
    if (cardIndex < 0 || size_t(cardIndex) >= cards.size())
        return 0;
    if (deviceId)
        *deviceId = cards[size_t(cardIndex)].deviceId;
    if (base)
        *base = cards[size_t(cardIndex)].ioBase;
    return 1;
}

int32_t GetNumCards(void)
{
    return int32_t(TheDriver().ports.Cards().size());
}

int32_t GetDriverFault(void)
{
    return TheDriver().ports.Fault();
}

int32_t IsCardBusy(int32_t cardIndex)
{
    trvhw::CardPorts &ports = TheDriver().ports;
    return cardIndex >= 0 && size_t(cardIndex) < ports.Cards().size() && ports.BusyNow(size_t(cardIndex));
}

int32_t TakePortError(void)
{
    return TheDriver().ports.TakeError();
}

} // extern "C"
