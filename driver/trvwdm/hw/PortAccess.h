// Port I/O limited to the ranges granted with ioperm(): the cards' I/O
// ranges and port 0x61. A port outside them is refused here (reads give
// all ones, writes are dropped), and so is any call from another thread
// than the one that was granted. After the grant the process gives up
// CAP_SYS_RAWIO. Never iopl().
#pragma once

#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

namespace trvhw {

struct PortRange {
    uint32_t first;
    uint32_t count;
};

class PortAccess {
public:
    using Ioperm = std::function<int(unsigned long from, unsigned long num, int on)>;
    using DropRawIo = std::function<void()>;

    // The system's ioperm and capability drop, or stand-ins for tests.
    PortAccess(Ioperm ioperm, DropRawIo drop);

    // Asks for every range; false (and nothing granted) when one is refused.
    bool Grant(const std::vector<PortRange> &ranges);
    bool Granted() const { return FGranted; }
    bool Allows(uint32_t port, uint32_t width) const;

    uint32_t In8(uint32_t port) const;
    uint32_t In16(uint32_t port) const;
    void Out8(uint32_t port, uint32_t value) const;
    void Out16(uint32_t port, uint32_t value) const;

    // Overridable port instructions, for tests.
    std::function<uint32_t(uint32_t port, int width)> Read;
    std::function<void(uint32_t port, uint32_t value, int width)> Write;

    static PortAccess System();

private:
    Ioperm FIoperm;
    DropRawIo FDrop;
    std::vector<PortRange> FRanges;
    bool FGranted = false;
    std::thread::id FThread;
};

} // namespace trvhw
