#include "base/spfile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/fsutil.h"
#include "base/platform.h"
#include "base/savefile.h"
#include "file_fixture.h"

namespace {

using FileTest = ScratchFiles;

// Lines as a reader taking one byte at a time sees them: up to each line feed, carriage returns
// dropped, a last line without a line feed included.
std::vector<std::string> ReferenceLines(const std::string& s) {
    std::vector<std::string> lines;
    size_t i = 0;
    while (i < s.size()) {
        std::string line;
        for (; i < s.size() && s[i] != '\n'; ++i)
            if (s[i] != '\r') line += s[i];
        if (i < s.size()) ++i;
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::string> ReadAllStrings(const std::string& path) {
    std::vector<std::string> lines;
    CSPFile f;
    if (!f.Open(path.c_str(), CSPFile::modeRead)) return lines;
    std::string line;
    while (f.ReadString(line)) lines.push_back(line);
    EXPECT_TRUE(line.empty());
    return lines;
}

// The same lines put together from 256-character pieces of ReadLine that keep the line feed.
std::vector<std::string> ReadAllPieces(const std::string& path) {
    std::vector<std::string> lines;
    CSPFile f;
    if (!f.Open(path.c_str(), CSPFile::modeRead)) return lines;
    char buf[257];
    std::string line;
    bool open = false;
    while (f.ReadLine(buf, -256)) {
        size_t n = std::strlen(buf);
        line += buf;
        open = true;
        if (n < 256 || buf[n - 1] == '\n') {
            if (!line.empty() && line.back() == '\n') line.pop_back();
            lines.push_back(line);
            line.clear();
            open = false;
        }
    }
    if (open) lines.push_back(line);
    return lines;
}

TEST_F(FileTest, OpenModeTable) {
    const std::string content = "hello world";
    enum Before { kMissing, kEmpty, kThreeBytes, kFull };
    struct Case {
        const char* name;
        Before before;
        UINT flags;
        int result;
        const char* after;  // null: the file must not exist
    } cases[] = {
        {"read missing", kMissing, CSPFile::modeRead, 0, nullptr},
        {"write missing", kMissing, CSPFile::modeWrite, 0, nullptr},
        {"create missing", kMissing, CSPFile::modeCreate | CSPFile::modeWrite, 1, ""},
        {"keep missing", kMissing, CSPFile::modeCreate | CSPFile::modeNoTruncate | CSPFile::modeWrite, 1, ""},
        {"create truncates", kFull, CSPFile::modeCreate | CSPFile::modeWrite, 1, ""},
        {"create keeps", kFull, CSPFile::modeCreate | CSPFile::modeNoTruncate | CSPFile::modeReadWrite, 1,
         "hello world"},
        {"write keeps", kFull, CSPFile::modeWrite, 1, "hello world"},
        {"read empty", kEmpty, CSPFile::modeRead, 0, ""},
        {"read three bytes", kThreeBytes, CSPFile::modeRead, 0, "abc"},
        {"write empty", kEmpty, CSPFile::modeWrite, 1, ""},
        {"read full", kFull, CSPFile::modeRead, 1, "hello world"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = Path(std::string("mode_") + c.name);
        std::remove(path.c_str());
        if (c.before == kEmpty) Put(path, "");
        if (c.before == kThreeBytes) Put(path, "abc");
        if (c.before == kFull) Put(path, content);
        CSPFile f;
        EXPECT_EQ(f.Open(path.c_str(), c.flags), c.result);
        EXPECT_EQ(f.IsOpen(), c.result == 1);
        EXPECT_EQ(f.GetError(), 0);
        f.Close();
        if (c.after) {
            EXPECT_EQ(Get(path), c.after);
        } else {
            EXPECT_FALSE(Exists(path));
        }
    }

    // A second open is refused with error 5 and keeps the first.
    std::string path = Path("second");
    Put(path, content);
    CSPFile f;
    ASSERT_EQ(f.Open(path.c_str(), CSPFile::modeRead), 1);
    EXPECT_EQ(f.Open(path.c_str(), CSPFile::modeWrite), 0);
    EXPECT_EQ(f.GetError(), CSPFile::errAlreadyOpen);
    EXPECT_TRUE(f.IsOpen());
    EXPECT_EQ(f.GetFilePath(), path);
    f.Close();
    EXPECT_EQ(f.GetDescriptor(), -1);
    EXPECT_EQ(f.GetFilePath(), "");
}

TEST_F(FileTest, SeekReadWriteAndTheirErrors) {
    std::string path = Path("rw");
    CSPFile f;
    ASSERT_EQ(f.Open(path.c_str(), CSPFile::modeCreate | CSPFile::modeReadWrite), 1);
    EXPECT_EQ(f.Write("0123456789", 10), 10u);
    EXPECT_EQ(f.GetLength(), 10);
    EXPECT_EQ(f.Seek(0, 1), 10);  // GetLength went back to where it was
    EXPECT_EQ(f.Seek(-4, 2), 6);
    char buf[16] = {};
    EXPECT_EQ(f.Read(buf, 0), 0u);
    EXPECT_EQ(f.GetError(), 0);
    EXPECT_EQ(f.Read(buf, 8), 4u);  // short
    EXPECT_EQ(std::string(buf, 4), "6789");
    EXPECT_EQ(f.GetError(), CSPFile::errShortRead);

    f.ClearError();
    EXPECT_EQ(f.Seek(3, 0), 3);
    EXPECT_EQ(f.Seek(0, 3), -1);
    EXPECT_EQ(f.GetError(), CSPFile::errSeek);
    f.ClearError();
    EXPECT_EQ(f.Seek(-20, 0), -1);
    EXPECT_EQ(f.GetError(), CSPFile::errSeek);
    f.Flush();
    f.Close();
    EXPECT_EQ(f.GetError(), CSPFile::errSeek);  // a good close keeps the last error

    // Writing to a file opened for reading comes up short.
    ASSERT_EQ(f.Open(path.c_str(), CSPFile::modeRead), 1);
    f.ClearError();
    EXPECT_EQ(f.Write("x", 1), 0u);
    EXPECT_EQ(f.GetError(), CSPFile::errShortWrite);
    f.Abort();
    EXPECT_FALSE(f.IsOpen());
    EXPECT_EQ(Get(path), "0123456789");
}

TEST_F(FileTest, ByteOrderMarkNeverShiftsBinaryReading) {
    const std::string bytes("\xFF\xFE\x01\x02\x03\x04\x05", 7);
    std::string path = Path("bom");
    Put(path, bytes);
    CSPFile f;
    ASSERT_EQ(f.Open(path.c_str(), CSPFile::modeRead), 1);
    EXPECT_EQ(f.GetCodePage(), UINT(CSPFile::kCodePageUtf16Le));
    EXPECT_EQ(f.Seek(0, 1), 0);
    char buf[8] = {};
    EXPECT_EQ(f.Read(buf, 7), 7u);
    EXPECT_EQ(std::string(buf, 7), bytes);
    // The text readers cannot read UTF-16: they end at once instead of giving empty lines.
    f.Seek(0, 0);
    std::string line = "x";
    EXPECT_FALSE(f.ReadString(line));
    EXPECT_EQ(line, "");
    EXPECT_EQ(f.ReadLine(buf, 7), nullptr);
    f.Close();

    Put(path, std::string("\xFE\xFF\0A", 4));
    ASSERT_EQ(f.Open(path.c_str(), CSPFile::modeRead), 1);
    EXPECT_EQ(f.GetCodePage(), UINT(CSPFile::kCodePageUtf16Be));
    EXPECT_EQ(f.Seek(0, 1), 0);
}

TEST_F(FileTest, ReadStringOverLineEnds) {
    const std::string gbk = "浦发银行;600000;上证";  // trail bytes that look like ASCII
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"crlf", "ab\r\ncd", {"ab", "cd"}},
        {"lf", "ab\ncd\n", {"ab", "cd"}},
        {"no final newline", "ab\ncd", {"ab", "cd"}},
        {"empty lines", "\n\r\n\nx", {"", "", "", "x"}},
        {"lone carriage returns", "a\rb\r\n\r", {"ab", ""}},
        {"256 and 257", std::string(256, 'a') + "\n" + std::string(257, 'b') + "\r\n", {std::string(256, 'a'), std::string(257, 'b')}},
        {"256 at the end", "x\n" + std::string(256, 'c'), {"x", std::string(256, 'c')}},
        {"255 plus crlf", std::string(255, 'd') + "\r\n" + "e", {std::string(255, 'd'), "e"}},
        {"long", std::string(200000, 'L') + "\nz", {std::string(200000, 'L'), "z"}},
        {"gbk", gbk + "\r\n" + gbk, {gbk, gbk}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = Path(std::string("text_") + c.name);
        Put(path, c.text);
        EXPECT_EQ(ReferenceLines(c.text), c.lines);
        EXPECT_EQ(ReadAllStrings(path), c.lines);
        EXPECT_EQ(ReadAllPieces(path), c.lines);
    }
}

TEST_F(FileTest, BufferedTextReadingMatchesByteByByte) {
    // Random text with every line length around the 256-character pieces and the read-ahead size.
    std::mt19937 rng(7);
    std::string text;
    while (text.size() < 300000) {
        int len = int(rng() % 4) == 0 ? int(rng() % 70000) : int(rng() % 520);
        for (int i = 0; i < len; ++i) text += "ab\r c\xB0\xA1"[rng() % 7];
        text += rng() % 2 ? "\r\n" : "\n";
    }
    text += "tail";
    std::string path = Path("random_text");
    Put(path, text);
    std::vector<std::string> expected = ReferenceLines(text);
    EXPECT_EQ(ReadAllStrings(path), expected);
    EXPECT_EQ(ReadAllPieces(path), expected);

    // A positive limit drops the line feed; binary reads and seeks go on from where text stopped.
    CSPFile f;
    ASSERT_EQ(f.Open(path.c_str(), CSPFile::modeRead), 1);
    std::string first;
    ASSERT_TRUE(f.ReadString(first));
    long pos = f.Seek(0, 1);
    char buf[17];
    ASSERT_EQ(f.Read(buf, 16), 16u);
    EXPECT_EQ(std::string(buf, 16), text.substr(size_t(pos), 16));
    EXPECT_EQ(f.Seek(0, 1), pos + 16);
    ASSERT_TRUE(f.ReadString(first));  // reads ahead again
    long next = long(text.find('\n', size_t(pos + 16)) + 1);
    EXPECT_EQ(f.Seek(-10, 1), next - 10);
    ASSERT_EQ(f.Read(buf, 10), 10u);
    EXPECT_EQ(std::string(buf, 10), text.substr(size_t(next - 10), 10));
    EXPECT_EQ(f.GetLength(), long(text.size()));
    f.Close();

    Put(path, "ab\ncd\n");
    ASSERT_EQ(f.Open(path.c_str(), CSPFile::modeRead), 1);
    EXPECT_STREQ(f.ReadLine(buf, 16), "ab");
    EXPECT_STREQ(f.ReadLine(buf, -16), "cd\n");
    EXPECT_EQ(f.ReadLine(buf, 16), nullptr);
}

TEST_F(FileTest, WritingAfterReadingAheadLandsWhereTheReaderIs) {
    std::string path = Path("mixed");
    Put(path, "line1\nline2\nline3\n");
    CSPFile f;
    ASSERT_EQ(f.Open(path.c_str(), CSPFile::modeReadWrite), 1);
    std::string line;
    ASSERT_TRUE(f.ReadString(line));
    EXPECT_EQ(f.Write("LINE2", 5), 5u);
    ASSERT_TRUE(f.ReadString(line));
    EXPECT_EQ(line, "");
    ASSERT_TRUE(f.ReadString(line));
    EXPECT_EQ(line, "line3");
    f.Close();
    EXPECT_EQ(Get(path), "line1\nLINE2\nline3\n");
}

}  // namespace

// A killed save leaves its temporary file; the sweep at start takes exactly those, in subfolders
// too, and never a file that only looks alike.
TEST_F(ScratchFiles, LeftoverTemporariesOfCutSavesAreSwept) {
    const std::string sep(1, velmora::kPathSep);
    const std::string root = Path("sweep"), sub = root + sep + "day";
    ASSERT_TRUE(velmora::CreateFolder(root.c_str()));
    ASSERT_TRUE(velmora::CreateFolder(sub.c_str()));
    struct Entry {
        std::string path;
        bool swept;
    } entries[] = {
        {root + sep + "codelist.dat", false},          {root + sep + "codelist.dat.1f2c-0.tmp", true},
        {sub + sep + "SH1A0001_1.day.a-3b.tmp", true}, {sub + sep + "SH1A0001_1.day", false},
        {root + sep + "notes.tmp", false},             {root + sep + "x.dat.zz-1.tmp", false},
        {root + sep + "x.dat.12.tmp", false},
    };
    for (const Entry& e : entries) Put(e.path, "data");
    // A save made before the sweep is whole and leaves nothing behind.
    ASSERT_TRUE(SaveFileReplacing(entries[0].path, "new", 3));
    EXPECT_EQ(RemoveLeftoverTemporaries(root), 2);
    for (const Entry& e : entries) EXPECT_EQ(!e.swept, Exists(e.path)) << e.path;
    EXPECT_EQ(Get(entries[0].path), "new");
    for (const Entry& e : entries) std::remove(e.path.c_str());
#ifdef _WIN32
    RemoveDirectoryA(sub.c_str());
    RemoveDirectoryA(root.c_str());
#else
    std::remove(sub.c_str());
    std::remove(root.c_str());
#endif
}
