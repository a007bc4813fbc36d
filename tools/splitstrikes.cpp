// Splits a bitmap-only TrueType font into one font file per strike.
//
//   splitstrikes <font.ttf> <output prefix>
//
// writes <prefix>-0.ttf, <prefix>-1.ttf, ... one for each strike of the
// font's EBLC table. Font databases register only the first size of a file
// that holds several, so the others could never be chosen; one file per
// strike makes every size selectable.
//
// Each strike is labelled with its character height (its ascent: the cell
// height less the internal leading) as its pixels per em. The source font
// labels strikes by cell height, so a 10 pt request (character height 13 at
// 96 dpi) would otherwise match the 13-pixel cell of the 8 pt strike rather
// than the 16-pixel cell drawn for it. The bitmap scaling table (EBSC) is
// dropped: each file is meant to offer its one size only.
#include "Sfnt.h"

#include <cstdio>

using namespace sfnt;

int main(int argc, char **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <font.ttf> <output prefix>\n", argv[0]);
        return 2;
    }
    try {
        const Bytes file = ReadFile(argv[1]);
        std::map<std::string, Bytes> tables = ReadTables(file);
        if (!tables.count("EBLC") || !tables.count("EBDT"))
            throw std::runtime_error("not a bitmap font (no EBLC/EBDT)");
        const Bytes eblc = tables["EBLC"];
        const uint32_t strikes = Get32(eblc, 4);
        if (strikes == 0 || 8 + 48 * uint64_t(strikes) > eblc.size())
            throw std::runtime_error("malformed EBLC table");
        tables.erase("EBSC");
        for (uint32_t k = 0; k < strikes; ++k) {
            // One size record, this strike's, in the first slot; the index
            // subtables it points to stay where they are.
            Bytes one = eblc;
            Put32(one, 4, 1);
            std::copy_n(eblc.begin() + 8 + 48 * long(k), 48, one.begin() + 8);
            const uint8_t ascent = one[8 + 16];
            one[8 + 44] = ascent; // ppemX
            one[8 + 45] = ascent; // ppemY
            tables["EBLC"] = one;
            WriteFile(std::string(argv[2]) + "-" + std::to_string(k) + ".ttf", WriteFont(tables));
        }
    } catch (const std::exception &e) {
        std::fprintf(stderr, "%s: %s: %s\n", argv[0], argv[1], e.what());
        return 1;
    }
    return 0;
}
