// Makes a scalable stand-in for a bitmap face from an outline font of the
// same design: the outlines keep their shapes and advances, the family is
// renamed, and the vertical metrics are set so that a line is as tall as
// the bitmap face's.
//
//   standinfont <outline.ttf> <family> <line height in ems> <output.ttf>
//
// The line height is the bitmap face's line pitch over the pixels per em
// the outline font is drawn at (MS Sans Serif: 13 pixels at 8 pt, which Qt
// draws at 11 whole pixels per em, and 16 at 10 pt, at 13). The
// descent stays; the ascent takes the rest, with no line gap, as a bitmap
// face's cell puts its internal leading above the letters. hhea, the OS/2
// typographic and the Windows metrics all say the same, so every reader
// sees one line height. The naming table keeps only the family, style, full
// and PostScript names, in Windows English.
#include "Sfnt.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

using namespace sfnt;

namespace {

Bytes Utf16(const std::string &ascii)
{
    Bytes out;
    for (char c : ascii) {
        out.push_back(0);
        out.push_back(uint8_t(c));
    }
    return out;
}

// A format 0 naming table of Windows English (3, 1, 0x409) records.
Bytes NameTable(const std::string &family)
{
    std::string postscript;
    for (char c : family)
        if (c != ' ')
            postscript += c;
    const std::vector<std::pair<uint16_t, std::string>> names = {
        {1, family}, {2, "Regular"}, {4, family}, {6, postscript}};
    Bytes table(6 + 12 * names.size(), 0);
    Put16(table, 2, uint16_t(names.size()));
    Put16(table, 4, uint16_t(table.size()));
    Bytes strings;
    for (size_t k = 0; k < names.size(); ++k) {
        const Bytes text = Utf16(names[k].second);
        const size_t record = 6 + 12 * k;
        Put16(table, record, 3);
        Put16(table, record + 2, 1);
        Put16(table, record + 4, 0x409);
        Put16(table, record + 6, names[k].first);
        Put16(table, record + 8, uint16_t(text.size()));
        Put16(table, record + 10, uint16_t(strings.size()));
        strings.insert(strings.end(), text.begin(), text.end());
    }
    table.insert(table.end(), strings.begin(), strings.end());
    return table;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s <outline.ttf> <family> <line height in ems> <output.ttf>\n", argv[0]);
        return 2;
    }
    try {
        std::map<std::string, Bytes> tables = ReadTables(ReadFile(argv[1]));
        for (const char *tag : {"head", "hhea", "OS/2", "glyf"})
            if (!tables.count(tag))
                throw std::runtime_error(std::string("not an outline font with metrics (no ") + tag + ")");
        Bytes &head = tables["head"], &hhea = tables["hhea"], &os2 = tables["OS/2"];
        if (head.size() < 54 || hhea.size() < 36 || os2.size() < 78)
            throw std::runtime_error("metrics tables cut short");
        const double ems = std::strtod(argv[3], nullptr);
        if (!(ems >= 1.0 && ems <= 2.0))
            throw std::runtime_error("the line height must lie between 1 and 2 ems");
        const int unitsPerEm = Get16(head, 18);
        const int descent = -int16_t(Get16(hhea, 6));
        const int ascent = int(std::lround(ems * unitsPerEm)) - descent;
        if (descent < 0 || ascent <= 0 || ascent > 0x7FFF)
            throw std::runtime_error("the font's descent does not fit the line height");
        Put16(hhea, 4, uint16_t(ascent));
        Put16(hhea, 8, 0);                    // line gap
        Put16(os2, 68, uint16_t(ascent));     // typographic ascender
        Put16(os2, 70, uint16_t(-descent));   // typographic descender
        Put16(os2, 72, 0);                    // typographic line gap
        Put16(os2, 74, uint16_t(ascent));     // Windows ascent
        Put16(os2, 76, uint16_t(descent));    // Windows descent
        tables["name"] = NameTable(argv[2]);
        // The outline font's own bitmaps were drawn for its own metrics.
        for (const char *tag : {"EBDT", "EBLC", "EBSC", "BDF ", "VDMX", "FFTM"})
            tables.erase(tag);
        WriteFile(argv[4], WriteFont(tables));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s: %s: %s\n", argv[0], argv[1], e.what());
        return 1;
    }
    return 0;
}
