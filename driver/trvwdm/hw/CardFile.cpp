#include "CardFile.h"

#include "../trvwdm.h"

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <linux/vfio.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace trvhw {
namespace {

constexpr int OpenFlags = O_RDWR | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY;

// Why a file or node that refused this user cannot be opened: granted to
// the card group (the user is not in it, or not yet in this login), or
// never granted (the package's rule did not run for it).
CardOpen Refused(const std::string &path)
{
    struct stat st {};
    const group *cardGroup = getgrnam(TRVWDM_CARD_GROUP);
    if (lstat(path.c_str(), &st) == 0 && cardGroup && st.st_gid == cardGroup->gr_gid && (st.st_mode & S_IRWXG) == (S_IRGRP | S_IWGRP))
        return CardOpen::NoAccess;
    return CardOpen::NotGranted;
}

CardOpen OpenFailed(const std::string &path)
{
    switch (errno) {
    case EACCES:
    case EPERM: return Refused(path);
    case EBUSY: return CardOpen::Busy;
    case ENOENT: return CardOpen::NoFile;
    case ELOOP: return CardOpen::Link; // O_NOFOLLOW met a link
    case EISDIR: return CardOpen::NotAFile;
    default: return CardOpen::Unusable;
    }
}

} // namespace

VfioGroup::~VfioGroup()
{
    if (container >= 0)
        close(container);
    if (group >= 0)
        close(group);
}

std::shared_ptr<const VfioGroup> VfioGroups::Open(const std::string &devRoot, int number, CardOpen *why)
{
    if (std::shared_ptr<const VfioGroup> held = FOpen[number].lock())
        return held;
    auto opened = std::make_shared<VfioGroup>();
    auto refuse = [&](CardOpen cause) {
        *why = cause;
        return nullptr;
    };
    // A group node opens once at a time: EBUSY is another program's.
    const std::string node = devRoot + "/vfio/" + std::to_string(number);
    opened->group = open(node.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
    if (opened->group < 0)
        return refuse(errno == ENOENT ? CardOpen::VfioFailed : OpenFailed(node));
    vfio_group_status status{};
    status.argsz = sizeof status;
    if (ioctl(opened->group, VFIO_GROUP_GET_STATUS, &status) != 0)
        return refuse(CardOpen::VfioFailed);
    if (!(status.flags & VFIO_GROUP_FLAGS_VIABLE))
        return refuse(CardOpen::NotViable);
    opened->container = open((devRoot + "/vfio/vfio").c_str(), O_RDWR | O_CLOEXEC);
    if (opened->container < 0)
        return refuse(CardOpen::VfioFailed);
    // No DMA is mapped: the container only has to exist with an IOMMU type.
    if (ioctl(opened->group, VFIO_GROUP_SET_CONTAINER, &opened->container) != 0
        || ioctl(opened->container, VFIO_SET_IOMMU, VFIO_TYPE1_IOMMU) != 0)
        return refuse(CardOpen::VfioFailed);
    FOpen[number] = opened;
    return opened;
}

CardFile::~CardFile()
{
    if (FFile >= 0)
        close(FFile);
}

CardFile::CardFile(CardFile &&other) noexcept
    : FFile(other.FFile), FOffset(other.FOffset), FGroup(std::move(other.FGroup))
{
    other.FFile = -1;
}

CardFile &CardFile::operator=(CardFile &&other) noexcept
{
    std::swap(FFile, other.FFile);
    std::swap(FOffset, other.FOffset);
    std::swap(FGroup, other.FGroup);
    return *this;
}

CardOpen CardFile::Open(const std::string &sysfsRoot, const std::string &devRoot, const PciCard &card, VfioGroups &groups)
{
    if (card.driver == "vfio-pci")
        return OpenVfio(devRoot, card, groups);
    return OpenResource(ResourcePath(sysfsRoot, card));
}

CardOpen CardFile::OpenResource(const std::string &path)
{
    const int fd = open(path.c_str(), OpenFlags);
    if (fd < 0)
        return OpenFailed(path);
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return CardOpen::NotAFile;
    }
    // One program at a time: the lock goes with the descriptor.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const bool busy = errno == EWOULDBLOCK;
        close(fd);
        return busy ? CardOpen::Busy : CardOpen::Unusable;
    }
    FFile = fd;
    return CardOpen::Ready;
}

CardOpen CardFile::OpenVfio(const std::string &devRoot, const PciCard &card, VfioGroups &groups)
{
    if (card.iommuGroup < 0)
        return CardOpen::VfioFailed;
    CardOpen why = CardOpen::VfioFailed;
    FGroup = groups.Open(devRoot, card.iommuGroup, &why);
    if (!FGroup)
        return why;
    // A second program holding the group is kept out by the kernel; within
    // this one, a device opens once.
    const int device = ioctl(FGroup->group, VFIO_GROUP_GET_DEVICE_FD, card.address.c_str());
    if (device < 0)
        return CardOpen::VfioFailed;
    FFile = device;
    vfio_region_info region{};
    region.argsz = sizeof region;
    region.index = VFIO_PCI_BAR0_REGION_INDEX + uint32_t(card.resourceIndex);
    const uint32_t readWrite = VFIO_REGION_INFO_FLAG_READ | VFIO_REGION_INFO_FLAG_WRITE;
    if (ioctl(device, VFIO_DEVICE_GET_REGION_INFO, &region) != 0 || (region.flags & readWrite) != readWrite
        || region.size < card.ioSize)
        return CardOpen::VfioFailed;
    FOffset = region.offset;
    return CardOpen::Ready;
}

bool CardFile::Read(uint32_t offset, uint8_t *data, uint32_t bytes) const
{
    const ssize_t got = pread(FFile, data, bytes, off_t(FOffset + offset));
    if (got >= 0 && got != ssize_t(bytes))
        errno = EIO;
    return got == ssize_t(bytes);
}

bool CardFile::Write(uint32_t offset, const uint8_t *data, uint32_t bytes) const
{
    const ssize_t put = pwrite(FFile, data, bytes, off_t(FOffset + offset));
    if (put >= 0 && put != ssize_t(bytes))
        errno = EIO;
    return put == ssize_t(bytes);
}

} // namespace trvhw
