// The C entry points of the simulated libtrvwdm.so.1.
#include "../trvwdm.h"
#include "SimulatedCard.h"

using trvsim::Machine;

extern "C" {

uint32_t InPortB(uint32_t port)
{
    Machine &m = Machine::instance();
    return m.kernelDriverLoaded() ? m.inb(port) : TRVWDM_DRIVER_ABSENT;
}

uint32_t InPort(uint32_t port)
{
    Machine &m = Machine::instance();
    return m.kernelDriverLoaded() ? m.inw(port) : 0;
}

void OutPortB(uint32_t port, uint32_t value)
{
    Machine &m = Machine::instance();
    if (m.kernelDriverLoaded())
        m.outb(port, value);
}

void OutPort(uint32_t port, uint32_t value)
{
    Machine &m = Machine::instance();
    if (m.kernelDriverLoaded())
        m.outw(port, value);
}

int32_t QueryCardInfo(int32_t cardIndex, uint32_t *deviceId, uint32_t *base, void *, void *)
{
    Machine &m = Machine::instance();
    if (!m.kernelDriverLoaded() || cardIndex < 0 || cardIndex >= m.cardCount())
        return 0;
    if (deviceId)
        *deviceId = m.card(cardIndex).deviceId();
    if (base)
        *base = m.card(cardIndex).base();
    return 1;
}

int32_t GetNumCards(void)
{
    Machine &m = Machine::instance();
    return m.kernelDriverLoaded() ? m.cardCount() : 0;
}

int32_t GetDriverFault(void)
{
    Machine &m = Machine::instance();
    return m.kernelDriverLoaded() && m.config().writesRefused ? TRVWDM_FAULT_LOCKDOWN : TRVWDM_FAULT_NONE;
}

int32_t IsCardBusy(int32_t cardIndex)
{
    return Machine::instance().cardBusyNow(cardIndex);
}

int32_t TakePortError(void)
{
    return Machine::instance().takePortError();
}

} // extern "C"
