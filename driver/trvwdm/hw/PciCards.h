// The maker's PCI cards as sysfs lists them: vendor 0x7A4C, device 0x6D21
// or 0x6D22, and the card's I/O BAR (16 to 256 ports). Cards are in
// PCI-address order, at most MaxCards of them; a card whose files cannot be
// read or make no sense is skipped.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace trvhw {

inline constexpr uint32_t MakerVendorId = 0x7A4C;
inline constexpr uint32_t DeviceRZ4070 = 0x6D21;
inline constexpr uint32_t DeviceRZ4070A = 0x6D22;
inline constexpr uint32_t IoResourceFlag = 0x100;
inline constexpr uint32_t MinIoPorts = 16;  // the card's registers
inline constexpr uint32_t MaxIoPorts = 256;
inline constexpr size_t MaxCards = 64;

struct PciCard {
    std::string address;  // e.g. 0000:03:00.0
    uint32_t deviceId;
    uint32_t ioBase;      // first port of the I/O BAR
    uint32_t ioSize;      // ports in the I/O BAR
    int resourceIndex;    // N of the BAR's file resourceN
    std::string driver;   // the kernel driver bound to it ("vfio-pci"), or empty
    int iommuGroup = -1;  // its IOMMU group, or -1 without one
};

// Reads `<sysfsRoot>/bus/pci/devices/*/{vendor,device,resource}` and the
// links `driver` and `iommu_group`.
std::vector<PciCard> EnumerateCards(const std::string &sysfsRoot);

// `<sysfsRoot>/bus/pci/devices/<address>/resource<N>` of a card.
std::string ResourcePath(const std::string &sysfsRoot, const PciCard &card);

// Whether the kernel is locked down (`<sysfsRoot>/kernel/security/lockdown`
// names "integrity" or "confidentiality"): it then refuses writes to the
// cards' resource files.
bool KernelLockedDown(const std::string &sysfsRoot);

} // namespace trvhw
