// Port I/O on the cards' own I/O BARs, each card opened once (CardFile:
// VFIO when it is bound to vfio-pci, its sysfs resource file otherwise)
// and locked for this program. A port is read or written with a 1- or
// 2-byte pread/pwrite at its offset from the BAR's start. A port that lies
// on no card reads as all ones and is not written. No privilege, no
// ioperm, no iopl: access is the file permission on the file or node.
// Every access that fails on a card is kept as an error until taken.
#pragma once

#include "CardFile.h"
#include "PciCards.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

namespace trvhw {

class CardPorts {
public:
    CardPorts() = default;
    CardPorts(const CardPorts &) = delete;
    CardPorts &operator=(const CardPorts &) = delete;

    // Opens each card. The cards that opened, and those that another
    // program drives (busy), are kept; Fault() tells why any other one
    // was not, or that the kernel refuses the writes of one that was.
    // Returns false when a card was left out.
    bool Open(const std::string &sysfsRoot, const std::string &devRoot, const std::vector<PciCard> &cards);
    const std::vector<PciCard> &Cards() const { return FCards; }
    // Whether card `index` of Cards() is driven by another program.
    bool Busy(size_t index) const { return !FReady[index]; }
    // The same, asking again: a busy card that the other program has let
    // go of is opened and taken for this one.
    bool BusyNow(size_t index);
    // The first cause met, as a TRVWDM_FAULT_... value; 0 when none.
    int Fault() const { return FFault; }

    // The card whose BAR holds `width` bits at `port`, or null.
    const PciCard *CardAt(uint32_t port, uint32_t width) const;

    uint32_t In8(uint32_t port) const;
    uint32_t In16(uint32_t port) const;
    void Out8(uint32_t port, uint32_t value) const;
    void Out16(uint32_t port, uint32_t value) const;

    // The errno value of the first access on a card that failed since the
    // last call (EBUSY on a busy card), or 0; clears it.
    int TakeError() const { return FError.exchange(0); }

private:
    uint32_t Read(uint32_t port, uint32_t bytes) const;
    void Write(uint32_t port, uint32_t value, uint32_t bytes) const;
    // The open card of `card`, or null with its error kept when it is busy.
    const CardFile *FileOf(const PciCard *card) const;
    void Failed(int error) const;
    void NoteFault(int fault);

    std::string FSysfsRoot, FDevRoot;
    VfioGroups FGroups; // shared by the cards of one IOMMU group
    std::vector<PciCard> FCards;
    std::vector<CardFile> FFiles; // one per card in FCards, closed when busy
    std::vector<bool> FReady;
    int FFault = 0;
    mutable std::atomic<int> FError{0};
};

} // namespace trvhw
