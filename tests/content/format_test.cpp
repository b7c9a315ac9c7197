#include "content/internal/format.h"

#include <gtest/gtest.h>

#include <random>

#include "content/internal/bits.h"
#include "content/utf8.h"

namespace vrok {
namespace {

using format::Bits;
using format::IndexWidth;
using format::MakePackedArray;

TEST(Format, BitWidths) {
  EXPECT_EQ(Bits(0), 0);
  EXPECT_EQ(Bits(1), 1);
  EXPECT_EQ(Bits(2), 2);
  EXPECT_EQ(Bits(3), 2);
  EXPECT_EQ(Bits(4), 3);
  EXPECT_EQ(Bits(0xFFFFFFFFu), 32);
  EXPECT_EQ(IndexWidth(0), 0);
  EXPECT_EQ(IndexWidth(1), 0);
  EXPECT_EQ(IndexWidth(2), 1);
  EXPECT_EQ(IndexWidth(256), 8);
  EXPECT_EQ(IndexWidth(257), 9);
}

TEST(Format, ChunkGeometryOfTheDocumentedWidths) {
  struct Case {
    std::uint16_t width;
    std::uint64_t capacity, stride;
  };
  for (const Case c : {Case{17, 30588, 65000}, Case{18, 28888, 64998}, Case{24, 21666, 64998}}) {
    const auto a = MakePackedArray(1, c.width);
    ASSERT_TRUE(a) << c.width;
    EXPECT_EQ(a->capacity, c.capacity) << c.width;
    EXPECT_EQ(a->stride, c.stride) << c.width;
  }
}

TEST(Format, ArraySizeAtChunkBoundaries) {
  const auto one = MakePackedArray(30588, 17);  // exactly one full chunk
  ASSERT_TRUE(one);
  EXPECT_EQ(one->chunks, 1u);
  EXPECT_EQ(one->size, (30588u * 17 + 7) / 8);
  const auto two = MakePackedArray(30589, 17);  // one entry into the second
  ASSERT_TRUE(two);
  EXPECT_EQ(two->chunks, 2u);
  EXPECT_EQ(two->size, 65000u + 3);
  EXPECT_EQ(two->ChunkOffset(30588), 65000u);
  EXPECT_EQ(two->BitInChunk(30588), 0u);
  const auto empty = MakePackedArray(0, 17);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->size, 0u);
  EXPECT_EQ(empty->chunks, 0u);
}

TEST(Format, ZeroWidthHoldsAtMostOneEntry) {
  const auto one = MakePackedArray(1, 0);
  ASSERT_TRUE(one);
  EXPECT_EQ(one->size, 0u);
  EXPECT_EQ(one->ChunkOffset(0), 0u);
  EXPECT_FALSE(MakePackedArray(2, 0));
  EXPECT_FALSE(MakePackedArray(0xFFFFFFFFu, 0));  // would be a four-billion-step loop
}

TEST(Format, MoreThan65535ChunksIsRejected) {
  // 192-bit rows: 2708 to a chunk.
  EXPECT_TRUE(MakePackedArray(2708ull * 65535, 192));
  EXPECT_FALSE(MakePackedArray(2708ull * 65535 + 1, 192));
}

TEST(Bits, FieldsStraddlingBytes) {
  const std::uint8_t bytes[] = {0b00000001, 0b10000000, 0xFF, 0x00, 0xAB, 0xCD};
  EXPECT_EQ(ReadBits(bytes, 7, 2), 0b11u);  // bit offset 7 crosses into the next byte
  EXPECT_EQ(ReadBits(bytes, 0, 0), 0u);
  EXPECT_EQ(ReadBits(bytes, 16, 8), 0xFFu);
  EXPECT_EQ(ReadBits(bytes, 15, 32), 0x7F8055E6u);
  EXPECT_EQ(ReadBits(bytes, 32, 16), 0xABCDu);
}

TEST(Bits, WriteThenReadAtEveryOffsetAndWidth) {
  std::mt19937 rng(7);
  for (unsigned width = 0; width <= 32; ++width) {
    for (unsigned start = 0; start < 16; ++start) {
      std::vector<std::uint8_t> buf(8);
      for (auto& b : buf) b = static_cast<std::uint8_t>(rng());
      const auto before = buf;
      const std::uint32_t value =
          width == 0 ? 0 : static_cast<std::uint32_t>(rng()) >> (32 - width);
      WriteBits(buf, start, width, value);
      EXPECT_EQ(ReadBits(buf, start, width), value) << width << "@" << start;
      // Bits outside the field are untouched.
      for (unsigned bit = 0; bit < 64; ++bit) {
        if (bit >= start && bit < start + width) continue;
        EXPECT_EQ(ReadBits(buf, bit, 1), ReadBits(before, bit, 1)) << width << "@" << start;
      }
    }
  }
}

TEST(Bits, WordReadsMatchBitByBitReads) {
  // Fields far from the end are read eight bytes at a time, those near it a
  // byte at a time: both agree with the bits taken one by one.
  std::mt19937 rng(11);
  std::vector<std::uint8_t> buf(20);
  for (auto& b : buf) b = static_cast<std::uint8_t>(rng());
  const auto bit = [&](std::uint64_t k) { return (buf[k / 8] >> (7 - k % 8)) & 1u; };
  for (unsigned width = 1; width <= 32; ++width) {
    for (std::uint64_t start = 0; start + width <= buf.size() * 8; ++start) {
      std::uint32_t expected = 0;
      for (unsigned i = 0; i < width; ++i) expected = (expected << 1) | bit(start + i);
      ASSERT_EQ(ReadBits(buf, start, width), expected) << width << "@" << start;
    }
  }
}

std::u16string Decode(std::initializer_list<std::uint8_t> bytes) {
  return DecodeContentUtf8(std::vector<std::uint8_t>(bytes));
}

TEST(Utf8, DecodesContentText) {
  EXPECT_EQ(Decode({0x41, 0xC3, 0xA9, 0xE2, 0x82, 0xAC}), u"A\u00E9\u20AC");
  EXPECT_EQ(Decode({0x9F}), u"\u009F");         // stray continuation byte
  EXPECT_EQ(Decode({0x41, 0x00, 0x42}), u"A");  // a zero byte ends the text
  EXPECT_EQ(Decode({0x41, 0xE2, 0x82}), u"A");  // cut short by the end
  EXPECT_EQ(Decode({0x41, 0xC3}), u"A");
  EXPECT_EQ(Decode({0x41, 0xE2, 0x00, 0x41}), u"A");  // zero inside a sequence
  EXPECT_EQ(Decode({0xF0, 0x9F, 0x98, 0x80}), std::u16string(u"\u07D8") + u"\u0080");
  EXPECT_EQ(Decode({}), u"");
}

TEST(Utf8, EncodeDecodeRoundTripsEveryCodeUnit) {
  std::u16string all;
  for (std::uint32_t u = 1; u <= 0xFFFF; ++u) all.push_back(static_cast<char16_t>(u));
  const auto bytes = EncodeContentUtf8(all);
  ASSERT_TRUE(bytes);
  EXPECT_EQ(DecodeContentUtf8(
                std::span(reinterpret_cast<const std::uint8_t*>(bytes->data()), bytes->size())),
            all);
  EXPECT_FALSE(EncodeContentUtf8(std::u16string(u"a\0b", 3)));
}

TEST(Utf8, StrictConversions) {
  EXPECT_EQ(FromUtf8("h\xC3\xA9"), u"h\u00E9");
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80"), u"\U0001F600");
  EXPECT_FALSE(FromUtf8("\xC3"));
  EXPECT_FALSE(FromUtf8("\xC0\x80"));      // overlong
  EXPECT_FALSE(FromUtf8("\xED\xA0\x80"));  // encoded surrogate
  EXPECT_EQ(ToUtf8(u"h\u00E9\U0001F600"), "h\xC3\xA9\xF0\x9F\x98\x80");
  EXPECT_EQ(ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace vrok
