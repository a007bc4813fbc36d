#include "PciCards.h"

#include "SysfsFile.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <optional>
#include <climits>
#include <sstream>
#include <unistd.h>

namespace trvhw {
namespace {

constexpr uint64_t MaxPort = 0xFFFF;
constexpr int MaxResources = 32;

std::string DevicesDir(const std::string &sysfsRoot)
{
    return sysfsRoot + "/bus/pci/devices/";
}

// A sysfs id file: one hexadecimal number and a line end.
std::optional<uint32_t> ReadHexFile(const std::string &path)
{
    const std::optional<std::string> text = ReadAttribute(path);
    if (!text)
        return std::nullopt;
    std::istringstream in(*text);
    std::string word;
    if (!(in >> word) || word.size() > 10)
        return std::nullopt;
    char *end = nullptr;
    const unsigned long value = std::strtoul(word.c_str(), &end, 16);
    if (end == word.c_str() || *end != '\0' || value > 0xFFFFFFFFul)
        return std::nullopt;
    return uint32_t(value);
}

// The first I/O BAR of a `resource` file: "start end flags" per line, the
// line number being the BAR's resource number.
std::optional<PciCard> ReadIoBar(const std::string &path)
{
    const std::optional<std::string> text = ReadAttribute(path);
    if (!text)
        return std::nullopt;
    std::istringstream in(*text);
    std::string line;
    for (int index = 0; index < MaxResources && std::getline(in, line); ++index) {
        uint64_t start = 0, end = 0, flags = 0;
        if (std::sscanf(line.c_str(), "%" SCNx64 " %" SCNx64 " %" SCNx64, &start, &end, &flags) != 3)
            return std::nullopt; // garbled
        if (!(flags & IoResourceFlag) || start == 0)
            continue;
        if (end < start || end > MaxPort)
            return std::nullopt;
        const uint64_t size = end - start + 1;
        if (size < MinIoPorts || size > MaxIoPorts)
            return std::nullopt;
        return PciCard{{}, 0, uint32_t(start), uint32_t(size), index, {}, -1};
    }
    return std::nullopt;
}

// The last part of where a sysfs link points ("vfio-pci" of
// ../../../bus/pci/drivers/vfio-pci), or empty when it is no link.
std::string LinkName(const std::string &path)
{
    char target[PATH_MAX];
    const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    if (n <= 0)
        return {};
    const std::string text(target, size_t(n));
    return text.substr(text.rfind('/') + 1);
}

int GroupNumber(const std::string &name)
{
    if (name.empty() || name.size() > 9 || name.find_first_not_of("0123456789") != std::string::npos)
        return -1;
    return std::stoi(name);
}

} // namespace

std::vector<PciCard> EnumerateCards(const std::string &sysfsRoot)
{
    std::vector<PciCard> cards;
    const std::string devices = DevicesDir(sysfsRoot);
    DIR *dir = opendir(devices.c_str());
    if (!dir)
        return cards;
    while (const dirent *entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.' || name.find('/') != std::string::npos)
            continue;
        const std::string base = devices + name + "/";
        const std::optional<uint32_t> vendor = ReadHexFile(base + "vendor");
        if (!vendor || *vendor != MakerVendorId)
            continue;
        const std::optional<uint32_t> device = ReadHexFile(base + "device");
        if (!device || (*device != DeviceRZ4070 && *device != DeviceRZ4070A))
            continue;
        std::optional<PciCard> card = ReadIoBar(base + "resource");
        if (!card)
            continue;
        card->address = name;
        card->deviceId = *device;
        card->driver = LinkName(base + "driver");
        card->iommuGroup = GroupNumber(LinkName(base + "iommu_group"));
        cards.push_back(*card);
    }
    closedir(dir);
    std::sort(cards.begin(), cards.end(), [](const PciCard &a, const PciCard &b) { return a.address < b.address; });
    if (cards.size() > MaxCards)
        cards.resize(MaxCards);
    return cards;
}

std::string ResourcePath(const std::string &sysfsRoot, const PciCard &card)
{
    return DevicesDir(sysfsRoot) + card.address + "/resource" + std::to_string(card.resourceIndex);
}

bool KernelLockedDown(const std::string &sysfsRoot)
{
    const std::optional<std::string> text = ReadAttribute(sysfsRoot + "/kernel/security/lockdown");
    return text && (text->find("[integrity]") != std::string::npos || text->find("[confidentiality]") != std::string::npos);
}

} // namespace trvhw
