// Port I/O on the cards' own I/O BARs: each card's sysfs resource file is
// opened once for reading and writing, and a port is read or written with a
// 1- or 2-byte pread/pwrite at its offset from the BAR's start. A port that
// lies on no open card reads as all ones and is not written. No privilege,
// no ioperm, no iopl: access is the file permission on the resource file.
#pragma once

#include "PciCards.h"

#include <cstdint>
#include <string>
#include <vector>

namespace trvhw {

class CardPorts {
public:
    CardPorts() = default;
    ~CardPorts();
    CardPorts(const CardPorts &) = delete;
    CardPorts &operator=(const CardPorts &) = delete;

    // Opens each card's resource file; the cards whose file opened are
    // kept. Returns false when any of them could not be opened.
    bool Open(const std::string &sysfsRoot, const std::vector<PciCard> &cards);
    const std::vector<PciCard> &Cards() const { return FCards; }

    // The card whose BAR holds `width` bits at `port`, or null.
    const PciCard *CardAt(uint32_t port, uint32_t width) const;

    uint32_t In8(uint32_t port) const;
    uint32_t In16(uint32_t port) const;
    void Out8(uint32_t port, uint32_t value) const;
    void Out16(uint32_t port, uint32_t value) const;

private:
    uint32_t Read(uint32_t port, uint32_t bytes) const;
    void Write(uint32_t port, uint32_t value, uint32_t bytes) const;

    std::vector<PciCard> FCards;
    std::vector<int> FFiles; // one descriptor per card in FCards
};

} // namespace trvhw
