// Taking a text out of the stub's string tables. A string-table block holds sixteen texts,
// each its length in UTF-16 units followed by its units; the block of text id is resource
// id / 16 + 1 in every language. setup.exe reads the block the same way: a text whose
// length runs past the block's end is not there, and neither is any text behind it.
#include "pe.h"

pack_Bytes pack_stringBlockWithout(const pack_Bytes& block, unsigned index)
{
    pack_Bytes out;
    size_t units = block.size() / 2, at = 0;
    for (unsigned i = 0; i < 16; ++i) {
        size_t n = 0;
        if (at < units) {
            n = pack_get16(block, 2 * at++);
            if (n > units - at) {
                n = 0;
                at = units;
            }
        }
        size_t kept = i == index % 16 ? 0 : n;
        out.push_back(static_cast<uint8_t>(kept));
        out.push_back(static_cast<uint8_t>(kept >> 8));
        out.insert(out.end(), block.begin() + 2 * at, block.begin() + 2 * (at + kept));
        at += n;
    }
    return out;
}

void pack_dropString(std::vector<pack_Resource>* resources, unsigned id)
{
    for (pack_Resource& r : *resources) {
        if (!r.type.isName && r.type.id == kPackRtString && !r.name.isName
            && r.name.id == id / 16 + 1) {
            r.data = pack_stringBlockWithout(r.data, id);
        }
    }
}
