#include "SysfsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace trvhw {

std::optional<std::string> ReadAttribute(const std::string &path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    std::optional<std::string> text;
    struct stat st {};
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        // One byte more than allowed tells an oversized file from a full one.
        std::string buffer(MaxAttributeBytes + 1, '\0');
        size_t filled = 0;
        ssize_t got = 0;
        while (filled < buffer.size() && (got = pread(fd, buffer.data() + filled, buffer.size() - filled, off_t(filled))) > 0)
            filled += size_t(got);
        if (got >= 0 && filled <= MaxAttributeBytes) {
            buffer.resize(filled);
            text = std::move(buffer);
        }
    }
    close(fd);
    return text;
}

} // namespace trvhw
