#include "PciCards.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <optional>
#include <sstream>

namespace trvhw {
namespace {

constexpr uint32_t MaxPort = 0xFFFF;

std::optional<uint32_t> ReadHexFile(const std::string &path)
{
    std::ifstream file(path);
    std::string text;
    if (!(file >> text) || text.size() > 10)
        return std::nullopt;
    char *end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 16);
    if (end == text.c_str() || *end != '\0' || value > 0xFFFFFFFFul)
        return std::nullopt;
    return uint32_t(value);
}

// The first I/O BAR of a `resource` file: "start end flags" per line.
std::optional<PciCard> ReadIoBar(const std::string &path)
{
    std::ifstream file(path);
    std::string line;
    int lines = 0;
    while (std::getline(file, line) && ++lines <= 32) {
        uint64_t start = 0, end = 0, flags = 0;
        if (std::sscanf(line.c_str(), "%" SCNx64 " %" SCNx64 " %" SCNx64, &start, &end, &flags) != 3)
            return std::nullopt; // garbled
        if (!(flags & IoResourceFlag) || start == 0)
            continue;
        if (end < start || end > MaxPort)
            return std::nullopt;
        return PciCard{{}, 0, uint32_t(start), uint32_t(end - start + 1)};
    }
    return std::nullopt;
}

} // namespace

std::vector<PciCard> EnumerateCards(const std::string &sysfsRoot)
{
    std::vector<PciCard> cards;
    const std::string devices = sysfsRoot + "/bus/pci/devices";
    DIR *dir = opendir(devices.c_str());
    if (!dir)
        return cards;
    while (const dirent *entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.empty() || name[0] == '.')
            continue;
        const std::string base = devices + "/" + name + "/";
        const std::optional<uint32_t> vendor = ReadHexFile(base + "vendor");
        if (!vendor || *vendor != MakerVendorId)
            continue;
        const std::optional<uint32_t> device = ReadHexFile(base + "device");
        std::optional<PciCard> card = ReadIoBar(base + "resource");
        if (!device || *device > 0xFFFF || !card)
            continue;
        card->address = name;
        card->deviceId = *device;
        cards.push_back(*card);
    }
    closedir(dir);
    std::sort(cards.begin(), cards.end(), [](const PciCard &a, const PciCard &b) { return a.address < b.address; });
    return cards;
}

} // namespace trvhw
