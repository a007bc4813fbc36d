#include "CardPorts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trvhw {

CardPorts::~CardPorts()
{
    for (int fd : FFiles)
        close(fd);
}

bool CardPorts::Open(const std::string &sysfsRoot, const std::vector<PciCard> &cards)
{
    bool all = true;
    for (const PciCard &card : cards) {
        const int fd = open(ResourcePath(sysfsRoot, card).c_str(), O_RDWR | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
        struct stat st {};
        if (fd >= 0 && fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            FCards.push_back(card);
            FFiles.push_back(fd);
            continue;
        }
        if (fd >= 0)
            close(fd);
        all = false;
    }
    return all;
}

const PciCard *CardPorts::CardAt(uint32_t port, uint32_t width) const
{
    const uint64_t first = port, last = uint64_t(port) + width / 8; // exclusive
    for (const PciCard &c : FCards)
        if (first >= c.ioBase && last <= uint64_t(c.ioBase) + c.ioSize)
            return &c;
    return nullptr;
}

uint32_t CardPorts::Read(uint32_t port, uint32_t bytes) const
{
    const uint32_t none = bytes == 1 ? 0xFF : 0xFFFF;
    const PciCard *card = CardAt(port, bytes * 8);
    if (!card)
        return none;
    uint8_t data[2] = {};
    const int fd = FFiles[size_t(card - FCards.data())];
    if (pread(fd, data, bytes, off_t(port - card->ioBase)) != ssize_t(bytes))
        return none;
    return bytes == 1 ? data[0] : uint32_t(data[0]) | uint32_t(data[1]) << 8;
}

void CardPorts::Write(uint32_t port, uint32_t value, uint32_t bytes) const
{
    const PciCard *card = CardAt(port, bytes * 8);
    if (!card)
        return;
    const uint8_t data[2] = {uint8_t(value), uint8_t(value >> 8)};
    const int fd = FFiles[size_t(card - FCards.data())];
    // A failed write has nowhere to be reported: the port operations
    // report no errors.
    [[maybe_unused]] const ssize_t written = pwrite(fd, data, bytes, off_t(port - card->ioBase));
}

uint32_t CardPorts::In8(uint32_t port) const { return Read(port, 1); }
uint32_t CardPorts::In16(uint32_t port) const { return Read(port, 2); }
void CardPorts::Out8(uint32_t port, uint32_t value) const { Write(port, value, 1); }
void CardPorts::Out16(uint32_t port, uint32_t value) const { Write(port, value, 2); }

} // namespace trvhw
