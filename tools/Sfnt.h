// Reading and writing TrueType (sfnt) font files, table by table, for the
// build-time font tools.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace sfnt {

using Bytes = std::vector<uint8_t>;

inline uint32_t Get32(const Bytes &b, size_t at)
{
    if (at + 4 > b.size())
        throw std::runtime_error("font file cut short");
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

inline uint16_t Get16(const Bytes &b, size_t at)
{
    if (at + 2 > b.size())
        throw std::runtime_error("font file cut short");
    return uint16_t(b[at] << 8 | b[at + 1]);
}

inline void Put32(Bytes &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (24 - 8 * i));
}

inline void Put16(Bytes &b, size_t at, uint16_t v)
{
    b[at] = uint8_t(v >> 8);
    b[at + 1] = uint8_t(v);
}

inline uint32_t CheckSum(const Bytes &table)
{
    Bytes padded = table;
    padded.resize((table.size() + 3) & ~size_t(3), 0);
    uint32_t sum = 0;
    for (size_t at = 0; at < padded.size(); at += 4)
        sum += Get32(padded, at);
    return sum;
}

inline std::map<std::string, Bytes> ReadTables(const Bytes &file)
{
    std::map<std::string, Bytes> tables;
    const uint16_t count = Get16(file, 4);
    for (uint16_t i = 0; i < count; ++i) {
        const size_t entry = 12 + 16 * size_t(i);
        const std::string tag(file.begin() + long(entry), file.begin() + long(entry) + 4);
        const uint32_t offset = Get32(file, entry + 8);
        const uint32_t length = Get32(file, entry + 12);
        if (uint64_t(offset) + length > file.size())
            throw std::runtime_error("table " + tag + " runs past the end of the file");
        tables[tag] = Bytes(file.begin() + offset, file.begin() + offset + length);
    }
    return tables;
}

// The tables as a font file, with the directory sorted by tag (as std::map
// keeps it) and the head table's whole-file checksum adjustment set.
inline Bytes WriteFont(std::map<std::string, Bytes> tables)
{
    auto head = tables.find("head");
    if (head == tables.end() || head->second.size() < 12)
        throw std::runtime_error("no head table");
    Put32(head->second, 8, 0);

    const uint16_t count = uint16_t(tables.size());
    uint16_t power = 1, log2 = 0;
    while (power * 2 <= count) {
        power *= 2;
        ++log2;
    }
    Bytes out(12 + 16 * size_t(count), 0);
    Put32(out, 0, 0x00010000);
    Put16(out, 4, count);
    Put16(out, 6, uint16_t(power * 16));
    Put16(out, 8, log2);
    Put16(out, 10, uint16_t(count * 16 - power * 16));
    size_t entry = 12, headOffset = 0;
    for (const auto &[tag, data] : tables) {
        std::copy(tag.begin(), tag.end(), out.begin() + long(entry));
        Put32(out, entry + 4, CheckSum(data));
        Put32(out, entry + 8, uint32_t(out.size()));
        Put32(out, entry + 12, uint32_t(data.size()));
        if (tag == "head")
            headOffset = out.size();
        out.insert(out.end(), data.begin(), data.end());
        out.resize((out.size() + 3) & ~size_t(3), 0);
        entry += 16;
    }
    Put32(out, headOffset + 8, 0xB1B0AFBAu - CheckSum(out));
    return out;
}

inline Bytes ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open the font");
    return Bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::string &path, const Bytes &data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path);
}

} // namespace sfnt
