// Laying out a resource section from a list of resources. The loader searches each directory
// by binary search, so the entries must be in its order: named entries first, by UTF-16 code
// unit, then ids ascending. The same function runs twice: once to measure the regions
// (directories, data entries, names, data), once to write them. The payload's data goes behind
// everything else, so that what precedes it does not depend on its size and it can be written
// into the file as it is compressed.
#include "pe.h"

#include <algorithm>

bool pack_resNameLess(const pack_ResName& a, const pack_ResName& b)
{
    if (a.isName != b.isName) {
        return a.isName;
    }
    return a.isName ? a.name < b.name : a.id < b.id;
}

namespace {

bool pack_nameEqual(const pack_ResName& a, const pack_ResName& b)
{
    return !pack_resNameLess(a, b) && !pack_resNameLess(b, a);
}

const pack_ResName& pack_level(const pack_Resource& r, int level)
{
    return level == 0 ? r.type : level == 1 ? r.name : r.lang;
}

using pack_Order = std::vector<const pack_Resource*>;

struct pack_Layout {
    pack_Bytes* out = nullptr;  // null while measuring
    uint32_t rva = 0;
    size_t dirs = 0, entries = 0, names = 0, data = 0;  // cursors, each in its own region
    const pack_Resource* last = nullptr;  // the payload: its data sits behind all
    uint32_t lastSize = 0;
    size_t lastAt = 0;
};

constexpr size_t pack_align8(size_t v) { return (v + 7) & ~size_t(7); }

void pack_put(pack_Layout& l, size_t at, uint32_t v)
{
    if (l.out != nullptr) {
        pack_put32(*l.out, at, v);
    }
}

uint32_t pack_writeName(pack_Layout& l, const pack_ResName& n)
{
    if (!n.isName) {
        return n.id;
    }
    size_t at = l.names;
    l.names += 2 + 2 * n.name.size();
    if (l.out != nullptr) {
        pack_put16(*l.out, at, static_cast<uint32_t>(n.name.size()));
        for (size_t i = 0; i < n.name.size(); ++i) {
            pack_put16(*l.out, at + 2 + 2 * i, n.name[i]);
        }
    }
    return 0x80000000u | static_cast<uint32_t>(at);
}

uint32_t pack_writeData(pack_Layout& l, const pack_Resource& r)
{
    bool last = &r == l.last;
    size_t entry = l.entries, data = last ? l.lastAt : l.data;
    l.entries += 16;
    if (!last) {
        l.data = pack_align8(l.data + r.data.size());
    }
    pack_put(l, entry, l.rva + static_cast<uint32_t>(data));
    pack_put(l, entry + 4, last ? l.lastSize : static_cast<uint32_t>(r.data.size()));
    pack_put(l, entry + 8, r.codePage);
    if (l.out != nullptr && !last) {
        std::copy(r.data.begin(), r.data.end(), l.out->begin() + data);
    }
    return static_cast<uint32_t>(entry);
}

// Writes the directory for the resources [begin, end), which agree on every level above this
// one; returns its offset.
uint32_t pack_writeDir(pack_Layout& l, pack_Order::const_iterator begin,
                       pack_Order::const_iterator end, int level)
{
    std::vector<pack_Order::const_iterator> groups;
    for (auto it = begin; it != end; ++it) {
        if (groups.empty()
            || !pack_nameEqual(pack_level(**groups.back(), level), pack_level(**it, level))
            || level == 2) {
            groups.push_back(it);
        }
    }
    size_t at = l.dirs;
    l.dirs += 16 + 8 * groups.size();
    uint32_t named = 0;
    for (auto g : groups) {
        named += pack_level(**g, level).isName ? 1 : 0;
    }
    pack_put(l, at + 12, named | static_cast<uint32_t>(groups.size() - named) << 16);
    for (size_t i = 0; i < groups.size(); ++i) {
        auto groupEnd = i + 1 < groups.size() ? groups[i + 1] : end;
        size_t entry = at + 16 + 8 * i;
        pack_put(l, entry, pack_writeName(l, pack_level(**groups[i], level)));
        uint32_t target = level == 2
            ? pack_writeData(l, **groups[i])
            : 0x80000000u | pack_writeDir(l, groups[i], groupEnd, level + 1);
        pack_put(l, entry + 4, target);
    }
    return static_cast<uint32_t>(at);
}

}  // namespace

pack_Bytes pack_buildResources(const std::vector<pack_Resource>& others, uint32_t rva,
                               uint32_t payloadSize)
{
    pack_Resource payload;
    payload.type.id = kPackRtRcdata;
    payload.name.id = kPackPayloadId;
    payload.lang.id = kPackPayloadLang;
    pack_Order order {&payload};
    for (const pack_Resource& r : others) {
        order.push_back(&r);
    }
    std::stable_sort(
        order.begin(), order.end(), [](const pack_Resource* a, const pack_Resource* b) {
            for (int level = 0; level < 3; ++level) {
                if (!pack_nameEqual(pack_level(*a, level), pack_level(*b, level))) {
                    return pack_resNameLess(pack_level(*a, level), pack_level(*b, level));
                }
            }
            return false;
        });

    pack_Layout measure;
    measure.last = &payload;
    pack_writeDir(measure, order.begin(), order.end(), 0);
    pack_Layout write;
    write.last = &payload;
    write.rva = rva;
    write.entries = measure.dirs;
    write.names = write.entries + measure.entries;
    write.data = pack_align8(write.names + measure.names);
    write.lastSize = payloadSize;
    write.lastAt = write.data + measure.data;
    pack_Bytes out(write.lastAt, 0);
    write.out = &out;
    pack_writeDir(write, order.begin(), order.end(), 0);
    return out;
}
