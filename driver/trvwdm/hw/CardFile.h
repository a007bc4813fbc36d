// One card's open registers: a file descriptor and the offset of the I/O
// BAR's first port in it. On the sysfs path that is the card's resource
// file at offset 0; on the VFIO path the device's descriptor at the BAR
// region's offset, with the group and container held open beside it.
// Opening tells why a card cannot be driven: no permission (and whether
// the file or node was granted to the card group at all), another program
// driving it, or VFIO refusing it.
#pragma once

#include "PciCards.h"

#include <cstdint>
#include <string>
#include <vector>

namespace trvhw {

enum class CardOpen {
    Ready,      // driven by this program from now on
    Busy,       // another program drives it
    NoAccess,   // no permission on its file or node
    NotGranted, // no permission, and the file or node is not the card group's
    NotViable,  // its IOMMU group has a device bound to a host driver
    VfioFailed, // VFIO refused it otherwise
    NoFile,     // its file is missing: the card went away
    NotAFile,   // a directory, a pipe or a device stands in its file's place
    Link,       // its file or node is a symbolic link
    Unusable,   // the kernel refused to open it for another reason
};

class CardFile {
public:
    CardFile() = default;
    ~CardFile();
    CardFile(CardFile &&other) noexcept;
    CardFile &operator=(CardFile &&other) noexcept;
    CardFile(const CardFile &) = delete;
    CardFile &operator=(const CardFile &) = delete;

    // Through VFIO when the card is bound to vfio-pci, its resource file
    // under `sysfsRoot` otherwise; `devRoot` holds vfio/. Either way the
    // card is locked for this program until the file is closed.
    CardOpen Open(const std::string &sysfsRoot, const std::string &devRoot, const PciCard &card);

    // `bytes` (1 or 2) at `offset` from the BAR's start, through the open
    // descriptor: whether all of them were transferred; errno says why not.
    bool Read(uint32_t offset, uint8_t *data, uint32_t bytes) const;
    bool Write(uint32_t offset, const uint8_t *data, uint32_t bytes) const;

private:
    CardOpen OpenResource(const std::string &path);
    CardOpen OpenVfio(const std::string &devRoot, const PciCard &card);

    int FFile = -1;
    uint64_t FOffset = 0;
    std::vector<int> FHeld; // the VFIO group and container, closed last
};

} // namespace trvhw
