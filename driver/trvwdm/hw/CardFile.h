// One card's open registers: a file descriptor and the offset of the I/O
// BAR's first port in it. On the sysfs path that is the card's resource
// file at offset 0; on the VFIO path the device's descriptor at the BAR
// region's offset, with its VFIO group held open beside it.
// Opening tells why a card cannot be driven: no permission (and whether
// the file or node was granted to the card group at all), another program
// driving it, or VFIO refusing it.
#pragma once

#include "PciCards.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>

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

// A VFIO group open in this program, with its container: the kernel lets
// a group be opened once, so the cards it holds share this one. Closed
// with the last card that holds it.
struct VfioGroup {
    int group = -1;
    int container = -1;
    VfioGroup() = default;
    VfioGroup(const VfioGroup &) = delete;
    VfioGroup &operator=(const VfioGroup &) = delete;
    ~VfioGroup();
};

// The VFIO groups that this program's cards hold, by group number.
class VfioGroups {
public:
    // Group `number` under `devRoot`, opened and given a container when
    // no card holds it yet; null, with the reason in `why`, when it cannot
    // be (another program holds it: Busy).
    std::shared_ptr<const VfioGroup> Open(const std::string &devRoot, int number, CardOpen *why);

private:
    std::map<int, std::weak_ptr<const VfioGroup>> FOpen;
};

class CardFile {
public:
    CardFile() = default;
    ~CardFile();
    CardFile(CardFile &&other) noexcept;
    CardFile &operator=(CardFile &&other) noexcept;
    CardFile(const CardFile &) = delete;
    CardFile &operator=(const CardFile &) = delete;

    // Through VFIO when the card is bound to vfio-pci (its group from
    // `groups`), its resource file under `sysfsRoot` otherwise; `devRoot`
    // holds vfio/. Either way the card is locked for this program until
    // the file is closed.
    CardOpen Open(const std::string &sysfsRoot, const std::string &devRoot, const PciCard &card, VfioGroups &groups);

    // `bytes` (1 or 2) at `offset` from the BAR's start, through the open
    // descriptor: whether all of them were transferred; errno says why not.
    bool Read(uint32_t offset, uint8_t *data, uint32_t bytes) const;
    bool Write(uint32_t offset, const uint8_t *data, uint32_t bytes) const;

private:
    CardOpen OpenResource(const std::string &path);
    CardOpen OpenVfio(const std::string &devRoot, const PciCard &card, VfioGroups &groups);

    int FFile = -1;
    uint64_t FOffset = 0;
    std::shared_ptr<const VfioGroup> FGroup; // released after the device
};

} // namespace trvhw
