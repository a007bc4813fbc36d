#include "PortAccess.h"

#include <linux/capability.h>
#include <sys/io.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace trvhw {
namespace {

// Removes CAP_SYS_RAWIO from the effective and permitted sets.
void DropRawIoCapability()
{
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[_LINUX_CAPABILITY_U32S_3] = {};
    if (syscall(SYS_capget, &header, data) != 0)
        return;
    const int word = CAP_SYS_RAWIO / 32;
    const uint32_t bit = 1u << (CAP_SYS_RAWIO % 32);
    data[word].effective &= ~bit;
    data[word].permitted &= ~bit;
    data[word].inheritable &= ~bit;
    syscall(SYS_capset, &header, data);
}

} // namespace

PortAccess::PortAccess(Ioperm ioperm, DropRawIo drop) : FIoperm(std::move(ioperm)), FDrop(std::move(drop))
{
    Read = [](uint32_t port, int width) -> uint32_t {
        return width == 8 ? inb(uint16_t(port)) : inw(uint16_t(port));
    };
    Write = [](uint32_t port, uint32_t value, int width) {
        if (width == 8)
            outb(uint8_t(value), uint16_t(port));
        else
            outw(uint16_t(value), uint16_t(port));
    };
}

PortAccess PortAccess::System()
{
    return PortAccess([](unsigned long from, unsigned long num, int on) { return ioperm(from, num, on); },
                      DropRawIoCapability);
}

bool PortAccess::Grant(const std::vector<PortRange> &ranges)
{
    for (const PortRange &r : ranges) {
        if (r.count == 0 || r.first + r.count > 0x10000 || FIoperm(r.first, r.count, 1) != 0) {
            for (const PortRange &g : FRanges)
                FIoperm(g.first, g.count, 0);
            FRanges.clear();
            return false;
        }
        FRanges.push_back(r);
    }
    FGranted = true;
    FThread = std::this_thread::get_id();
    FDrop();
    return true;
}

bool PortAccess::Allows(uint32_t port, uint32_t width) const
{
    if (!FGranted || std::this_thread::get_id() != FThread)
        return false;
    const uint32_t bytes = width / 8;
    for (const PortRange &r : FRanges)
        if (port >= r.first && port + bytes <= r.first + r.count)
            return true;
    return false;
}

uint32_t PortAccess::In8(uint32_t port) const
{
    return Allows(port, 8) ? Read(port, 8) & 0xFF : 0xFF;
}

uint32_t PortAccess::In16(uint32_t port) const
{
    return Allows(port, 16) ? Read(port, 16) & 0xFFFF : 0xFFFF;
}

void PortAccess::Out8(uint32_t port, uint32_t value) const
{
    if (Allows(port, 8))
        Write(port, value & 0xFF, 8);
}

void PortAccess::Out16(uint32_t port, uint32_t value) const
{
    if (Allows(port, 16))
        Write(port, value & 0xFFFF, 16);
}

} // namespace trvhw
