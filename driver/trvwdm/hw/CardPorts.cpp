#include "CardPorts.h"

#include "../trvwdm.h"

#include <cerrno>

namespace trvhw {
namespace {

int FaultOf(CardOpen result)
{
    switch (result) {
    case CardOpen::NoAccess:
        return TRVWDM_FAULT_NO_ACCESS;
    case CardOpen::NotGranted:
        return TRVWDM_FAULT_NOT_GRANTED;
    case CardOpen::NotViable:
        return TRVWDM_FAULT_GROUP_NOT_VIABLE;
    case CardOpen::VfioFailed:
        return TRVWDM_FAULT_VFIO;
    case CardOpen::NotAFile:
        return TRVWDM_FAULT_NOT_A_FILE;
    case CardOpen::Link:
        return TRVWDM_FAULT_LINK;
    case CardOpen::Unusable:
        return TRVWDM_FAULT_UNUSABLE;
    case CardOpen::Ready:
    case CardOpen::Busy:
    case CardOpen::NoFile:
        break;
    }
    return TRVWDM_FAULT_NONE;
}

} // namespace

bool CardPorts::Open(const std::string &sysfsRoot, const std::string &devRoot, const std::vector<PciCard> &cards)
{
    FSysfsRoot = sysfsRoot;
    FDevRoot = devRoot;
    const bool lockedDown = KernelLockedDown(sysfsRoot);
    bool all = true;
    for (const PciCard &card : cards) {
        CardFile file;
        const CardOpen result = file.Open(sysfsRoot, devRoot, card, FGroups);
        NoteFault(FaultOf(result));
        if (result != CardOpen::Ready && result != CardOpen::Busy) {
            all = false;
            continue;
        }
        // Under lockdown the kernel refuses writes to a resource file.
        if (lockedDown && card.driver != "vfio-pci")
            NoteFault(TRVWDM_FAULT_LOCKDOWN);
        FCards.push_back(card);
        FFiles.push_back(std::move(file));
        FReady.push_back(result == CardOpen::Ready);
    }
    return all;
}

bool CardPorts::BusyNow(size_t index)
{
    if (!FReady[index]) {
        CardFile file;
        if (file.Open(FSysfsRoot, FDevRoot, FCards[index], FGroups) == CardOpen::Ready) {
            FFiles[index] = std::move(file);
            FReady[index] = true;
        }
    }
    return Busy(index);
}

void CardPorts::NoteFault(int fault)
{
    if (FFault == TRVWDM_FAULT_NONE)
        FFault = fault;
}

const PciCard *CardPorts::CardAt(uint32_t port, uint32_t width) const
{
    const uint64_t first = port, last = uint64_t(port) + width / 8; // exclusive
    for (const PciCard &c : FCards)
        if (first >= c.ioBase && last <= uint64_t(c.ioBase) + c.ioSize)
            return &c;
    return nullptr;
}

void CardPorts::Failed(int error) const
{
    int none = 0;
    FError.compare_exchange_strong(none, error ? error : EIO);
}

const CardFile *CardPorts::FileOf(const PciCard *card) const
{
    const size_t index = size_t(card - FCards.data());
    if (!FReady[index]) {
        Failed(EBUSY);
        return nullptr;
    }
    return &FFiles[index];
}

uint32_t CardPorts::Read(uint32_t port, uint32_t bytes) const
{
    const uint32_t none = bytes == 1 ? 0xFF : 0xFFFF;
    const PciCard *card = CardAt(port, bytes * 8);
    const CardFile *file = card ? FileOf(card) : nullptr;
    uint8_t data[2] = {};
    if (!file)
        return none;
    if (!file->Read(port - card->ioBase, data, bytes)) {
        Failed(errno);
        return none;
    }
    return bytes == 1 ? data[0] : uint32_t(data[0]) | uint32_t(data[1]) << 8;
}

void CardPorts::Write(uint32_t port, uint32_t value, uint32_t bytes) const
{
    const PciCard *card = CardAt(port, bytes * 8);
    const CardFile *file = card ? FileOf(card) : nullptr;
    const uint8_t data[2] = {uint8_t(value), uint8_t(value >> 8)};
    if (file && !file->Write(port - card->ioBase, data, bytes))
        Failed(errno);
}

uint32_t CardPorts::In8(uint32_t port) const { return Read(port, 1); }
uint32_t CardPorts::In16(uint32_t port) const { return Read(port, 2); }
void CardPorts::Out8(uint32_t port, uint32_t value) const { Write(port, value, 1); }
void CardPorts::Out16(uint32_t port, uint32_t value) const { Write(port, value, 2); }

} // namespace trvhw
