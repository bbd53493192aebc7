// The version record (VS_VERSIONINFO): a tree of nodes, each a length, a value length, a type
// (1 for text), a UTF-16 key, then its value and its children, each on a 4-byte boundary.
// Read from stubs of any origin, so every length is checked against its parent's.
#include "version_record.h"

#include <algorithm>

namespace {

constexpr uint32_t kFixedSignature = 0xFEEF04BDu;
constexpr size_t kFixedSize = 52;

constexpr size_t pack_align4(size_t v) { return (v + 3) & ~size_t(3); }

struct pack_Node {
    size_t begin = 0, end = 0;  // the node, by its own length
    uint32_t valueLength = 0, type = 0;
    std::u16string key;
    size_t value = 0, children = 0;
};

std::string pack_readNode(const pack_Bytes& b, size_t at, size_t limit, pack_Node* n)
{
    if (at + 6 > limit) {
        return "a version record node is cut short";
    }
    n->begin = at;
    n->end = at + pack_get16(b, at);
    n->valueLength = pack_get16(b, at + 2);
    n->type = pack_get16(b, at + 4);
    if (n->end > limit || n->end < at + 6) {
        return "a version record node's length is out of range";
    }
    size_t p = at + 6;
    for (; p + 2 <= n->end && pack_get16(b, p) != 0; p += 2) {
        n->key.push_back(static_cast<char16_t>(pack_get16(b, p)));
    }
    if (p + 2 > n->end) {
        return "a version record key is not terminated";
    }
    n->value = pack_align4(p + 2);
    size_t valueBytes = n->type == 1 ? n->valueLength * size_t(2) : n->valueLength;
    if (n->value + valueBytes > n->end) {
        return "a version record value lies outside its node";
    }
    n->children = pack_align4(n->value + valueBytes);
    return "";
}

std::u16string pack_nodeText(const pack_Bytes& b, const pack_Node& n)
{
    std::u16string text;
    for (size_t i = 0; i < n.valueLength; ++i) {
        char16_t c = static_cast<char16_t>(pack_get16(b, n.value + 2 * i));
        if (c == 0) {
            break;
        }
        text.push_back(c);
    }
    return text;
}

// Visits the children of n, stopping at the first that fails.
template<typename F>
std::string pack_eachChild(const pack_Bytes& b, const pack_Node& n, F f)
{
    for (size_t at = n.children; at < n.end;) {
        pack_Node child;
        std::string error = pack_readNode(b, at, n.end, &child);
        if (error.empty()) {
            error = f(child);
        }
        if (!error.empty()) {
            return error;
        }
        at = pack_align4(child.end);
    }
    return "";
}

std::string pack_readStrings(const pack_Bytes& b, const pack_Node& fileInfo, pack_VersionInfo* info)
{
    bool first = true;
    return pack_eachChild(b, fileInfo, [&](const pack_Node& table) {
        if (!first) {
            return std::string();
        }
        first = false;
        return pack_eachChild(b, table, [&](const pack_Node& s) {
            info->strings.emplace_back(s.key, s.type == 1 ? pack_nodeText(b, s) : std::u16string());
            return std::string();
        });
    });
}

void pack_readFixed(const pack_Bytes& b, const pack_Node& root, pack_VersionInfo* info)
{
    if (root.valueLength < kFixedSize || pack_get32(b, root.value) != kFixedSignature) {
        return;
    }
    info->hasFixed = true;
    for (int i = 0; i < 2; ++i) {
        uint32_t ms = pack_get32(b, root.value + 8 + 8 * i),
                 ls = pack_get32(b, root.value + 12 + 8 * i);
        uint16_t* v = i == 0 ? info->fileVersion : info->productVersion;
        v[0] = static_cast<uint16_t>(ms >> 16), v[1] = static_cast<uint16_t>(ms);
        v[2] = static_cast<uint16_t>(ls >> 16), v[3] = static_cast<uint16_t>(ls);
    }
}

// ---- Writing -------------------------------------------------------------------------------

void pack_append16(pack_Bytes& b, uint32_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void pack_append32(pack_Bytes& b, uint32_t v)
{
    pack_append16(b, v);
    pack_append16(b, v >> 16);
}

// One node: value is raw bytes (valueLength counts them, or its UTF-16 units for text).
pack_Bytes pack_node(const std::u16string& key, const pack_Bytes& value, uint32_t valueLength,
                     bool text, const std::vector<pack_Bytes>& children)
{
    pack_Bytes n(6, 0);
    for (char16_t c : key) {
        pack_append16(n, c);
    }
    pack_append16(n, 0);
    n.resize(pack_align4(n.size()), 0);
    n.insert(n.end(), value.begin(), value.end());
    for (const pack_Bytes& child : children) {
        n.resize(pack_align4(n.size()), 0);
        n.insert(n.end(), child.begin(), child.end());
    }
    pack_put16(n, 0, static_cast<uint32_t>(n.size()));
    pack_put16(n, 2, valueLength);
    pack_put16(n, 4, text ? 1 : 0);
    return n;
}

pack_Bytes pack_stringNode(const std::u16string& key, const std::u16string& value)
{
    pack_Bytes v;
    for (char16_t c : value) {
        pack_append16(v, c);
    }
    pack_append16(v, 0);
    return pack_node(key, v, static_cast<uint32_t>(value.size() + 1), true, {});
}

pack_Bytes pack_fixedInfo(const pack_VersionInfo& info)
{
    pack_Bytes f;
    pack_append32(f, kFixedSignature);
    pack_append32(f, 0x00010000u);
    for (const uint16_t* v : {info.fileVersion, info.productVersion}) {
        pack_append32(f, uint32_t(v[0]) << 16 | v[1]);
        pack_append32(f, uint32_t(v[2]) << 16 | v[3]);
    }
    for (uint32_t field :
         {0x3Fu, 0u, 0x40004u /* VOS_NT_WINDOWS32 */, 1u /* VFT_APP */, 0u, 0u, 0u}) {
        pack_append32(f, field);
    }
    return f;
}

}  // namespace

std::string pack_readVersionRecord(const pack_Bytes& data, pack_VersionInfo* info)
{
    *info = pack_VersionInfo();
    pack_Node root;
    std::string error = pack_readNode(data, 0, data.size(), &root);
    if (!error.empty()) {
        return error;
    }
    pack_readFixed(data, root, info);
    return pack_eachChild(data, root, [&](const pack_Node& child) {
        return child.key == u"StringFileInfo" ? pack_readStrings(data, child, info) : std::string();
    });
}

pack_Bytes pack_buildVersionRecord(const pack_VersionInfo& info)
{
    std::vector<pack_Bytes> strings;
    for (const auto& s : info.strings) {
        strings.push_back(pack_stringNode(s.first, s.second));
    }
    pack_Bytes table = pack_node(u"040904B0", {}, 0, true, strings);
    pack_Bytes fileInfo = pack_node(u"StringFileInfo", {}, 0, true, {table});
    pack_Bytes translation;
    pack_append16(translation, kPackBrandLang);
    pack_append16(translation, 1200);
    pack_Bytes var = pack_node(u"Translation", translation, 4, false, {});
    pack_Bytes varInfo = pack_node(u"VarFileInfo", {}, 0, true, {var});
    return pack_node(u"VS_VERSION_INFO", pack_fixedInfo(info), kFixedSize, false,
                     {fileInfo, varInfo});
}
