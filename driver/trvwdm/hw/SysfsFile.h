// Careful reads of small sysfs attribute files: only regular files, opened
// without blocking and without following a final symbolic link, at most
// 4 KiB of text. A FIFO, a device node or an oversized file reads as nothing.
#pragma once

#include <optional>
#include <string>

namespace trvhw {

inline constexpr size_t MaxAttributeBytes = 4096;

std::optional<std::string> ReadAttribute(const std::string &path);

} // namespace trvhw
