#include "base/memstream.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Contents(const CMemoryStream& s) {
    return std::string(reinterpret_cast<const char*>(s.GetData()), s.GetSize());
}

TEST(MemoryStreamTest, WritesOverwritesAndSeeks) {
    CMemoryStream s;
    EXPECT_EQ(s.Write("a", 1), 1);
    EXPECT_EQ(s.GetCapacity(), 8192);  // one granule
    EXPECT_EQ(s.Write("bcdef", 5), 5);
    EXPECT_EQ(Contents(s), "abcdef");

    EXPECT_EQ(s.Seek(2, 0), 2);
    EXPECT_EQ(s.Write("XY", 2), 2);  // overwrite in the middle keeps the size
    EXPECT_EQ(Contents(s), "abXYef");
    EXPECT_EQ(s.Seek(-1, 1), 3);
    EXPECT_EQ(s.Seek(0, 2), 6);
    EXPECT_EQ(s.Seek(100, 9), 6);  // unknown origin leaves the position

    // Past the end: the size follows the write and the gap reads as zeros.
    s.Seek(10, 0);
    EXPECT_EQ(s.Write("Z", 1), 1);
    EXPECT_EQ(s.GetSize(), 11);
    EXPECT_EQ(Contents(s), std::string("abXYef\0\0\0\0Z", 11));

    // Negative counts and positions write nothing.
    EXPECT_EQ(s.Write("q", -1), 0);
    s.Seek(-20, 1);
    EXPECT_EQ(s.Write("q", 1), 0);
    EXPECT_EQ(s.GetSize(), 11);

    char buf[16] = {};
    s.Seek(0, 0);
    EXPECT_EQ(s.Read(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "abXY");
    EXPECT_EQ(s.Read(buf, 100), 7);  // only what is left
    EXPECT_EQ(s.Read(buf, 1), 0);
    EXPECT_EQ(s.Read(buf, -3), 0);
}

TEST(MemoryStreamTest, GrowsInGranulesAndResets) {
    CMemoryStream s;
    std::string big(8193, 'x');
    EXPECT_EQ(s.Write(big.data(), 8193), 8193);
    EXPECT_EQ(s.GetCapacity(), 16384);
    // Many small writes keep every byte (growth is geometric, not one copy per write).
    for (int i = 0; i < 20000; ++i) ASSERT_EQ(s.Write("0123456789", 10), 10);
    EXPECT_EQ(s.GetSize(), 8193 + 200000);
    EXPECT_EQ(std::memcmp(s.GetData() + 8193 + 199990, "0123456789", 10), 0);
    EXPECT_EQ(s.GetCapacity() % 8192, 0);

    EXPECT_TRUE(s.Grow(1 << 20));
    EXPECT_GE(s.GetCapacity(), 1 << 20);
    EXPECT_EQ(s.GetSize(), 8193 + 200000);

    s.Reset();
    EXPECT_EQ(s.GetSize(), 0);
    EXPECT_EQ(s.GetCapacity(), 0);
    EXPECT_EQ(s.GetData(), nullptr);
    s.Reset();  // harmless when empty
}

// A stream whose memory runs out after the first block.
class StarvedStream : public CMemoryStream {
protected:
    BYTE* Realloc(long& capacity) override {
        if (GetCapacity() > 0 && capacity > GetCapacity()) return nullptr;
        return CMemoryStream::Realloc(capacity);
    }
};

TEST(MemoryStreamTest, FailedGrowthKeepsTheData) {
    StarvedStream s;
    ASSERT_EQ(s.Write("hello", 5), 5);
    std::string big(9000, 'y');
    EXPECT_EQ(s.Write(big.data(), 9000), 0);
    EXPECT_EQ(s.GetSize(), 5);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(s.GetData()), 5), "hello");
    EXPECT_FALSE(s.Grow(100000));
}

}  // namespace
