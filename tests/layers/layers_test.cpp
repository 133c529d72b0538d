// The layers keep their order: no file of the product includes a header of a layer above its own
// (base < net < store < analysis < winfw and skin < charts < app), the updater stands apart (it
// includes only its own headers and the system's, and nothing else includes it), and the product
// never includes tests, benchmarks or tools. Reads every #include of the source tree.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "test_files.h"

namespace fs = std::filesystem;

namespace {

const int kApart = -1;

struct Layer {
    const char* folder;
    int rank;
};
// resources/ holds the client's resource scripts: it sits with app/.
const Layer kLayers[] = {
    {"base", 0}, {"net", 1},   {"store", 2}, {"analysis", 3},  {"winfw", 4},
    {"skin", 4}, {"charts", 5}, {"app", 6},  {"resources", 6}, {"updater", kApart},
};
// Folders of the tree that the product must never include.
const char* const kOutside[] = {"tests", "bench", "tools"};

const Layer* FindLayer(const std::string& folder) {
    for (const Layer& l : kLayers)
        if (folder == l.folder) return &l;
    return nullptr;
}
bool IsOutside(const std::string& folder) {
    for (const char* o : kOutside)
        if (folder == o) return true;
    return false;
}

bool IsSource(const fs::path& p) {
    static const std::set<std::string> kinds = {".h", ".hpp", ".inl", ".c", ".cc", ".cpp", ".rc"};
    fs::path name = p.filename();
    if (name.extension() == ".in") name = name.stem();  // configured sources such as x.rc.in
    return kinds.count(name.extension().string()) != 0;
}

struct Breach {
    std::string file;  // relative to the root
    int line;
    std::string header;
    std::string why;
};

// The top folder of the tree that an include names, or "" for a header from elsewhere (the
// system's). A quoted name is looked up beside the including file first, as the compiler does;
// a name going up ("../x") is always taken from there.
std::string IncludedFolder(const fs::path& root, const fs::path& file, char quote, std::string name) {
    for (char& c : name)
        if (c == '\\') c = '/';
    fs::path rel = fs::path(name).lexically_normal();
    bool relative = !rel.empty() && *rel.begin() == "..";
    if (quote == '"') {
        fs::path beside = (file.parent_path() / rel).lexically_normal();
        if (relative || fs::exists(beside)) rel = beside.lexically_relative(root);
    }
    auto first = rel.begin();
    if (first == rel.end()) return "";
    std::string top = first->string();
    return std::next(first) == rel.end() ? "" : top;  // a bare name beside nothing is the system's
}

// Every breach of the order under root; counts the files read per layer folder.
std::vector<Breach> CheckLayers(const fs::path& root, std::map<std::string, int>* filesRead = nullptr) {
    static const std::regex include(R"(^\s*#\s*include\s*([<"])([^>"]+)[>"])");
    std::vector<Breach> out;
    for (const Layer& from : kLayers) {
        fs::path dir = root / from.folder;
        if (!fs::is_directory(dir)) continue;
        std::vector<fs::path> files;
        for (const auto& e : fs::recursive_directory_iterator(dir))
            if (e.is_regular_file() && IsSource(e.path())) files.push_back(e.path());
        std::sort(files.begin(), files.end());
        for (const fs::path& file : files) {
            if (filesRead) ++(*filesRead)[from.folder];
            std::ifstream in(file);
            std::string line;
            bool inComment = false;
            for (int number = 1; std::getline(in, line); ++number) {
                std::string code = line;
                if (inComment) {
                    size_t end = code.find("*/");
                    if (end == std::string::npos) continue;
                    code = code.substr(end + 2);
                    inComment = false;
                }
                std::smatch m;
                if (std::regex_search(code, m, include)) {
                    std::string header = m[2].str();
                    std::string folder = IncludedFolder(root, file, m[1].str()[0], header);
                    const Layer* to = FindLayer(folder);
                    std::string why;
                    if (IsOutside(folder)) {
                        why = "the product includes " + folder + "/";
                    } else if (!to || to == &from || folder == from.folder) {
                        // its own layer, or a header from elsewhere
                    } else if (from.rank == kApart) {
                        why = std::string(from.folder) + " stands apart and includes only its own headers";
                    } else if (to->rank == kApart) {
                        why = std::string(to->folder) + " stands apart: nothing includes it";
                    } else if (to->rank > from.rank) {
                        why = std::string(from.folder) + " includes " + to->folder + ", a layer above it";
                    }
                    if (!why.empty())
                        out.push_back({file.lexically_relative(root).generic_string(), number, header, why});
                }
                size_t open = code.rfind("/*");
                if (open != std::string::npos && code.find("*/", open + 2) == std::string::npos) inComment = true;
            }
        }
    }
    return out;
}

std::string Describe(const std::vector<Breach>& breaches) {
    std::string text;
    for (const Breach& b : breaches)
        text += b.file + ":" + std::to_string(b.line) + ": #include \"" + b.header + "\": " + b.why + "\n";
    return text;
}

TEST(Layers, TheSourceTreeKeepsItsOrder) {
    fs::path root = VELMORA_TEST_SOURCE_DIR;
    std::map<std::string, int> filesRead;
    std::vector<Breach> breaches = CheckLayers(root, &filesRead);
    EXPECT_TRUE(breaches.empty()) << breaches.size() << " include(s) against the layer order:\n" << Describe(breaches);
    // Every layer folder of the tree was read (a wrong root would pass on nothing).
    for (const Layer& l : kLayers) {
        if (fs::is_directory(root / l.folder)) {
            EXPECT_GT(filesRead[l.folder], 0) << l.folder;
        }
    }
    EXPECT_GT(filesRead["base"], 0);
}

// A small tree with one include per file: the files that breach the order are exactly those
// expected.
TEST(Layers, EachKindOfBreachIsFound) {
    fs::path root = fs::path(::testing::TempDir()) / ("velmora-layers-" + std::to_string(::getpid()));
    fs::remove_all(root);
    struct Case {
        const char* file;
        const char* text;
        bool breach;
    } cases[] = {
        {"base/up.h", "#include \"net/http.h\"\n", true},
        {"base/own.h", "#  include \"base/platform.h\"\n#include <vector>\n#include <windows.h>\n", false},
        {"net/down.cpp", "#include \"base/thread.h\"\n#include \"store/x.h\"\n", true},
        {"store/relative.cpp", "#include \"../app/login.h\"\n", true},
        {"store/beside.cpp", "#include \"beside.h\"\n", false},
        {"store/beside.h", "#include \"analysis/techs.h\" // not a comment at the line's start\n", true},
        {"analysis/commented.cpp",
         "// #include \"app/a.h\"\n/*\n#include \"app/b.h\"\n*/\n#include \"store/k.h\"\n", false},
        {"winfw/same.h", "#include \"skin/skinbitmap.h\"\n", false},
        {"skin/below.h", "#include \"winfw/window.h\"\n#include \"analysis/techs.h\"\n", false},
        {"skin/above.h", "#include <charts/graph.h>\n", true},
        {"charts/up.cpp", "#include \"app\\main.h\"\n", true},
        {"app/top.cpp", "#include \"charts/graph.h\"\n#include \"base/seams.h\"\n", false},
        {"app/updater.cpp", "#include \"updater/cmdline.h\"\n", true},
        {"resources/dialogs.rc", "#include \"app/resource.h\"\n", false},
        {"resources/skin.rc.in", "#include \"tools/gen.h\"\n", true},
        {"updater/own.cpp", "#include \"cmdline.h\"\n#include \"updater/cmdline.h\"\n#include <windows.h>\n", false},
        {"updater/cmdline.h", "#include \"base/text.h\"\n", true},
        {"net/tests.cpp", "#include \"tests/test_files.h\"\n", true},
        {"base/notes.txt", "#include \"app/login.h\"\n", false},  // not a source file
    };
    std::set<std::string> expected;
    for (const Case& c : cases) {
        fs::create_directories((root / c.file).parent_path());
        velmora_test::WriteTestFile((root / c.file).string(), c.text);
        if (c.breach) expected.insert(c.file);
    }
    std::vector<Breach> breaches = CheckLayers(root);
    std::set<std::string> found;
    for (const Breach& b : breaches) found.insert(b.file);
    EXPECT_EQ(found, expected) << Describe(breaches);
    for (const Breach& b : breaches) {
        if (b.file == "net/down.cpp") {
            EXPECT_EQ(b.line, 2);  // the line of the include
        }
    }
    fs::remove_all(root);
}

}  // namespace
