// --no-architecture-question's edit: string 2 emptied in block 1 of every language, nothing
// else touched. Blocks of any shape are the fuzzer's (tests/fuzz/string_block.cpp).
#include "helpers.h"

namespace {

pack_Bytes block(std::initializer_list<uint16_t> units)
{
    pack_Bytes out;
    for (uint16_t u : units) {
        out.push_back(static_cast<uint8_t>(u));
        out.push_back(static_cast<uint8_t>(u >> 8));
    }
    return out;
}

pack_Resource resource(uint16_t type, uint16_t name, uint16_t lang, const pack_Bytes& data)
{
    pack_Resource r;
    r.type.id = type;
    r.name.id = name;
    r.lang.id = lang;
    r.data = data;
    return r;
}

}  // namespace

TEST(StringTable, ATextGoesFromEveryLanguageAndNothingElseChanges)
{
    // Texts 2 and 4 of block 1 (ids 0-15) in two languages; text 2 of block 2 is id 18.
    pack_Bytes english =
        block({0, 0, 2, 'a', 'b', 0, 3, 'x', 'y', 'z', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    pack_Bytes german = block({0, 0, 1, 'c', 0, 1, 'w', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    pack_Bytes second = block({0, 0, 1, 'q', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    std::vector<pack_Resource> resources = {
        resource(kPackRtString, 1, 0x0409, english), resource(kPackRtString, 1, 0x0407, german),
        resource(kPackRtString, 2, 0x0409, second), resource(kPackRtRcdata, 1, 0x0409, english)};
    pack_dropString(&resources, 2);
    EXPECT_EQ(resources[0].data,
              block({0, 0, 0, 0, 3, 'x', 'y', 'z', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(resources[1].data, block({0, 0, 0, 0, 1, 'w', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(resources[2].data, second);
    EXPECT_EQ(resources[3].data, english);
}
