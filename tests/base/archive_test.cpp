#include "base/archive.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "file_fixture.h"

namespace {

using ArchiveTest = ScratchFiles;

// The expected bytes, built independently of the archive.
struct Bytes {
    std::string s;
    void Le(uint64_t v, int n) {
        for (int i = 0; i < n; ++i) s += char(v >> (8 * i));
    }
    void Int(int32_t v) { Le(uint32_t(v), 4); }
    void Double(double d) {
        uint64_t bits;
        std::memcpy(&bits, &d, 8);
        Le(bits, 8);
    }
    void String(const std::string& t) {
        if (t.size() <= 254) {
            Le(t.size(), 1);
        } else if (t.size() <= 0xFFFD) {
            Le(0xFF, 1);
            Le(t.size(), 2);
        } else {
            Le(0xFF, 1);
            Le(0xFFFF, 2);
            Le(t.size(), 4);
        }
        s += t;
    }
};

std::string Text(size_t n, unsigned seed) {
    std::string t(n, '\0');
    for (size_t i = 0; i < n; ++i) t[i] = char('a' + (i * 7 + seed) % 26);
    return t;
}

TEST_F(ArchiveTest, ExactBytesOfNumbersAndTheThreeLengthForms) {
    const size_t lengths[] = {0, 254, 255, 65533, 65534, 65535, 70000};
    const size_t headers[] = {1, 1, 3, 3, 7, 7, 7};
    std::string path = Path("exact");
    Bytes expected;
    {
        CSPFile f;
        ASSERT_EQ(f.Open(path.c_str(), CSPFile::modeCreate | CSPFile::modeWrite), 1);
        CSPArchive ar(&f, CSPArchive::store);
        ar.WriteInt(0x01020304);
        ar.WriteInt(-2);
        ar.WriteDouble(1.0);
        expected.Int(0x01020304);
        expected.Int(-2);
        expected.Double(1.0);
        for (size_t n : lengths) {
            ar.WriteString(Text(n, unsigned(n)));
            expected.String(Text(n, unsigned(n)));
        }
        ar.Close();
        EXPECT_FALSE(ar.IsFailed());
    }
    const std::string bytes = Get(path);
    ASSERT_EQ(bytes, expected.s);
    EXPECT_EQ(bytes.substr(0, 16), std::string("\x04\x03\x02\x01\xFE\xFF\xFF\xFF\0\0\0\0\0\0\xF0\x3F", 16));
    // Walk the strings' heads in the file itself.
    size_t at = 16;
    const char* heads[] = {"\x00", "\xFE", "\xFF\xFF\x00", "\xFF\xFD\xFF", "\xFF\xFF\xFF\xFE\xFF\x00\x00",
                           "\xFF\xFF\xFF\xFF\xFF\x00\x00", "\xFF\xFF\xFF\x70\x11\x01\x00"};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(bytes.substr(at, headers[i]), std::string(heads[i], headers[i])) << lengths[i];
        at += headers[i] + lengths[i];
    }
    EXPECT_EQ(at, bytes.size());

    CSPFile f;
    ASSERT_EQ(f.Open(path.c_str(), CSPFile::modeRead), 1);
    CSPArchive ar(&f, CSPArchive::load);
    EXPECT_EQ(ar.ReadInt(), 0x01020304);
    EXPECT_EQ(ar.ReadInt(), -2);
    EXPECT_EQ(ar.ReadDouble(), 1.0);
    for (size_t n : lengths) {
        std::string s;
        ASSERT_TRUE(ar.ReadString(s)) << n;
        EXPECT_EQ(s, Text(n, unsigned(n)));
    }
    EXPECT_FALSE(ar.IsFailed());
    char c;
    EXPECT_EQ(ar.Read(&c, 1), 0u);
    EXPECT_TRUE(ar.IsFailed());
}

TEST_F(ArchiveTest, RandomReadsAndWritesAcrossBufferBoundaries) {
    std::mt19937 rng(12345);
    enum Op { kInt, kDouble, kString, kRaw, kFlush };
    struct Item {
        Op op;
        int32_t i;
        double d;
        std::string s;
    };
    const int bufferSizes[] = {16, 17, 100, 4096};
    for (int round = 0; round < 12; ++round) {
        const int storeBuf = bufferSizes[rng() % 4], loadBuf = bufferSizes[rng() % 4];
        SCOPED_TRACE("buffers " + std::to_string(storeBuf) + "/" + std::to_string(loadBuf));
        std::vector<Item> items;
        Bytes expected;
        for (int k = 0; k < 300; ++k) {
            Item it{Op(rng() % 5), int32_t(rng()), double(int32_t(rng())) / 7.0, std::string()};
            if (it.op == kString) {
                unsigned pick = rng() % 20;
                size_t n = pick < 14 ? rng() % 40 : pick < 17 ? 250 + rng() % 10 : pick < 19 ? 65530 + rng() % 8 : 70000;
                it.s = Text(n, rng());
            } else if (it.op == kRaw) {
                it.s = Text(rng() % (3 * 4096 + 5), rng());
            }
            items.push_back(it);
            switch (it.op) {
            case kInt: expected.Int(it.i); break;
            case kDouble: expected.Double(it.d); break;
            case kString: expected.String(it.s); break;
            case kRaw: expected.s += it.s; break;
            case kFlush: break;
            }
        }
        std::string path = Path("random");
        {
            CSPFile f;
            ASSERT_EQ(f.Open(path.c_str(), CSPFile::modeCreate | CSPFile::modeWrite), 1);
            CSPArchive ar(&f, CSPArchive::store, storeBuf);
            for (const Item& it : items) {
                switch (it.op) {
                case kInt: ar.WriteInt(it.i); break;
                case kDouble: ar.WriteDouble(it.d); break;
                case kString: ar.WriteString(it.s); break;
                case kRaw: ar.Write(it.s.data(), UINT(it.s.size())); break;
                case kFlush: ar.Flush(); break;
                }
            }
        }  // the destructor writes out the rest
        ASSERT_EQ(Get(path), expected.s);

        CSPFile f;
        ASSERT_EQ(f.Open(path.c_str(), CSPFile::modeRead), 1);
        CSPArchive ar(&f, CSPArchive::load, loadBuf);
        size_t offset = 0;
        for (size_t k = 0; k < items.size(); ++k) {
            const Item& it = items[k];
            std::string s;
            switch (it.op) {
            case kInt: ASSERT_EQ(ar.ReadInt(), it.i) << k; offset += 4; break;
            case kDouble: ASSERT_EQ(ar.ReadDouble(), it.d) << k; offset += 8; break;
            case kString:
                ASSERT_TRUE(ar.ReadString(s)) << k;
                ASSERT_EQ(s, it.s) << k;
                offset += it.s.size() + (it.s.size() <= 254 ? 1 : it.s.size() <= 0xFFFD ? 3 : 7);
                break;
            case kRaw:
                s.assign(it.s.size(), '?');
                ASSERT_EQ(ar.Read(&s[0], UINT(s.size())), UINT(s.size())) << k;
                ASSERT_EQ(s, it.s) << k;
                offset += it.s.size();
                break;
            case kFlush:
                // Loading gives the unread bytes back to the file.
                ar.Flush();
                ASSERT_EQ(f.Seek(0, 1), long(offset)) << k;
                break;
            }
        }
        EXPECT_FALSE(ar.IsFailed());
    }
}

TEST_F(ArchiveTest, TruncatedArchivesFailWithZerosNeverStaleBytes) {
    Bytes full;
    full.Int(0x11223344);
    full.String("abc");
    full.Double(2.5);
    full.String(std::string(300, 'q'));
    std::string path = Path("truncated");
    for (size_t cut = 0; cut <= full.s.size(); ++cut) {
        SCOPED_TRACE(cut);
        Put(path, full.s.substr(0, cut));
        CSPFile f;
        // Files under 4 bytes cannot be opened for reading at all.
        if (!f.Open(path.c_str(), CSPFile::modeRead)) {
            EXPECT_LT(cut, 4u);
            continue;
        }
        CSPArchive ar(&f, CSPArchive::load, 16);
        int32_t i = ar.ReadInt();
        std::string a, b;
        bool okA = ar.ReadString(a);
        double d = ar.ReadDouble();
        bool okB = ar.ReadString(b);
        EXPECT_EQ(ar.IsFailed(), cut < full.s.size());
        EXPECT_EQ(i, 0x11223344);
        if (cut < 4 + 4) {
            EXPECT_FALSE(okA);
        }
        EXPECT_EQ(a, okA ? "abc" : "");
        if (cut >= 16) {
            EXPECT_EQ(d, 2.5);
        }
        EXPECT_EQ(b, okB ? std::string(300, 'q') : "");
    }

    // Bytes of an earlier buffer never reappear: the missing bytes read as zeros.
    Put(path, std::string(16, '\xAA') + "\x01\x02");
    CSPFile f;
    ASSERT_EQ(f.Open(path.c_str(), CSPFile::modeRead), 1);
    CSPArchive ar(&f, CSPArchive::load, 16);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(uint32_t(ar.ReadInt()), 0xAAAAAAAAu);
    EXPECT_FALSE(ar.IsFailed());
    EXPECT_EQ(ar.ReadInt(), 0x0201);
    EXPECT_TRUE(ar.IsFailed());
    EXPECT_EQ(ar.ReadDouble(), 0.0);
}

TEST_F(ArchiveTest, ForgedLengthsAreRefusedWithoutAllocating) {
    struct Case {
        const char* name;
        std::string bytes;
    } cases[] = {
        {"4 GB", std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 7) + std::string(40, 'x')},
        {"past the end", std::string("\xFF\xE8\x03", 3) + std::string(40, 'x')},
        {"wide text", std::string("\xFF\xFE\xFF", 3) + std::string(40, 'x')},
        {"short head", std::string("\x00\x00\x00\x00\xFF\xFF", 6)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = Path("forged");
        Put(path, c.bytes);
        CSPFile f;
        ASSERT_EQ(f.Open(path.c_str(), CSPFile::modeRead), 1);
        CSPArchive ar(&f, CSPArchive::load, 16);
        if (c.bytes[0] == 0) ar.ReadInt();
        std::string s = "old";
        EXPECT_FALSE(ar.ReadString(s));
        EXPECT_EQ(s, "");
        EXPECT_TRUE(ar.IsFailed());
    }
}

TEST_F(ArchiveTest, LineReaderForTheMagicAndFailedStores) {
    std::string path = Path("magic");
    Bytes b;
    b.s = "VOZIZE";
    b.Int(0x20050630);
    Put(path, b.s);
    {
        CSPFile f;
        ASSERT_EQ(f.Open(path.c_str(), CSPFile::modeRead), 1);
        CSPArchive ar(&f, CSPArchive::load);
        char magic[7];
        ASSERT_NE(ar.ReadLine(magic, 6), nullptr);
        EXPECT_STREQ(magic, "VOZIZE");
        EXPECT_EQ(ar.ReadInt(), 0x20050630);
        EXPECT_EQ(ar.ReadLine(magic, 6), nullptr);
        EXPECT_FALSE(ar.IsFailed());
    }
    Put(path, "ab\r\ncd");
    {
        CSPFile f;
        ASSERT_EQ(f.Open(path.c_str(), CSPFile::modeRead), 1);
        CSPArchive ar(&f, CSPArchive::load);
        char line[16];
        EXPECT_STREQ(ar.ReadLine(line, 15), "ab");
        EXPECT_STREQ(ar.ReadLine(line, 15), "cd");
    }
    // A store whose writes come up short is marked failed.
    {
        CSPFile f;
        ASSERT_EQ(f.Open(path.c_str(), CSPFile::modeRead), 1);
        CSPArchive ar(&f, CSPArchive::store, 16);
        ar.WriteString("more than sixteen bytes of text");
        EXPECT_TRUE(ar.IsFailed());
    }
    EXPECT_EQ(Get(path), "ab\r\ncd");
}

}  // namespace
