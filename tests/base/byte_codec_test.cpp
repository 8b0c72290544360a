// The one little-endian codec every format reads and writes with.
#include <gtest/gtest.h>

#include "base/byte_codec.h"

namespace vlt {
namespace {

TEST(ByteCodec, IntegersAreLittleEndianAndTextBytesAreNotSignExtended) {
    const Bytes bytes = {0x01, 0x02, 0x03, 0x84, 0x05, 0x06, 0x07, 0x88};
    EXPECT_EQ(loadLE<std::uint16_t>(bytes.data()), 0x0201u);
    EXPECT_EQ(loadLE<std::uint32_t>(reinterpret_cast<const char*>(bytes.data())), 0x84030201u);
    Bytes back(8);
    storeLE<std::uint64_t>(back.data(), 0x8807060584030201ull);
    EXPECT_EQ(back, bytes);
}

TEST(ByteCodec, ReaderFailsPastTheEndWithoutMoving) {
    Bytes data;
    appendU32(data, 0xCAFEF00D);
    appendBlock(data, asBytes("abc"));
    appendU32(data, 9);  // a block length running past the end
    appendBytes(data, asBytes("xy"));
    ByteReader in(data);
    std::uint32_t word = 0;
    std::string text;
    ByteView run;
    ASSERT_TRUE(in.u32(word) && in.block(text));
    EXPECT_EQ(word, 0xCAFEF00Du);
    EXPECT_EQ(text, "abc");
    EXPECT_EQ(in.position(), 11u);
    EXPECT_FALSE(in.block(run) || in.skip(7) || in.bytes(7, run));
    EXPECT_EQ(in.position(), 11u);
    ASSERT_TRUE(in.skip(4));
    EXPECT_FALSE(in.u32(word));
    EXPECT_TRUE(in.bytes(2, run) && in.atEnd());
}

}  // namespace
}  // namespace vlt
