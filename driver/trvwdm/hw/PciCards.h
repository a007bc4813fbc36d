// The maker's PCI cards as sysfs lists them: vendor 0x7A4C, any device id,
// the start of the I/O BAR. Cards are in PCI-address order; a card whose
// files cannot be read or make no sense is skipped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace trvhw {

inline constexpr uint32_t MakerVendorId = 0x7A4C;
inline constexpr uint32_t IoResourceFlag = 0x100;

struct PciCard {
    std::string address; // e.g. 0000:03:00.0
    uint32_t deviceId;
    uint32_t ioBase;     // first port of the I/O BAR
    uint32_t ioSize;     // ports in the I/O BAR
};

// Reads `<sysfsRoot>/bus/pci/devices/*/{vendor,device,resource}`.
std::vector<PciCard> EnumerateCards(const std::string &sysfsRoot);

} // namespace trvhw
