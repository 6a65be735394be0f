// The desktop's fonts found by family, against fc-match on this machine; no
// display needed.

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>

#include <engine/text/SystemFont.h>

using namespace Engine;

namespace {

// fc-match's file for a pattern, stopped after 10 seconds; empty when it fails.
std::string FcMatch(const std::string& pattern) {
    const std::string command =
        "timeout -k 2 10 fc-match -f '%{file}' '" + pattern + "' 2>/dev/null";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string out;
    std::array<char, 256> buffer;
    while (pipe && fgets(buffer.data(), int(buffer.size()), pipe.get()))
        out += buffer.data();
    return out;
}

} // namespace

TEST(SystemFont, FamiliesAreFoundAsTheDesktopFindsThem) {
    if (FcMatch("DejaVu Serif").find("DejaVuSerif") == std::string::npos)
        GTEST_SKIP() << "fc-match or DejaVu Serif (fonts-dejavu-core) is missing";
    struct Case {
        const char* family;
        bool bold, italic;
        const char* pattern; // for fc-match
        bool ofFamily;
    };
    for (const Case& c : {
             Case{"DejaVu Serif", false, false, "DejaVu Serif", true},
             {"DejaVu Serif", true, false, "DejaVu Serif:bold", true},
             {"dejavu serif", false, true, "DejaVu Serif:italic", true},
             {"DejaVu Sans Mono", true, true, "DejaVu Sans Mono:bold:italic", true},
             {"serif", false, false, "serif", true},
             {"Monospace", true, false, "monospace:bold", true},
             {"No Such Family Anywhere", false, false, "No Such Family Anywhere", false},
         }) {
        SCOPED_TRACE(c.family);
        const std::optional<SystemFont> found = MatchSystemFont(c.family, c.bold, c.italic);
        ASSERT_TRUE(found);
        EXPECT_EQ(found->path, FcMatch(c.pattern));
        EXPECT_EQ(found->ofFamily, c.ofFamily) << found->family;
        EXPECT_EQ(FindSystemFont(c.family, c.bold, c.italic).has_value(), c.ofFamily);
    }
    // The faces say what they are: DejaVu Sans Mono has a bold oblique of its own.
    const SystemFont boldItalic = *MatchSystemFont("DejaVu Sans Mono", true, true);
    EXPECT_TRUE(boldItalic.bold && boldItalic.italic);
    EXPECT_EQ(boldItalic.family, "DejaVu Sans Mono");
    const SystemFont plain = *MatchSystemFont("DejaVu Sans Mono");
    EXPECT_FALSE(plain.bold || plain.italic);
}

// Names from strangers' maps are names, never patterns: what fontconfig
// would parse as a style, a size or an escape does not pick a face, and a
// NUL, control characters or 10,000 characters find no family, quickly.
TEST(SystemFont, HostileNamesFindNoFamily) {
    if (!FindSystemFont("DejaVu Serif"))
        GTEST_SKIP() << "DejaVu Serif (fonts-dejavu-core) is missing";
    const auto start = std::chrono::steady_clock::now();
    for (const std::string& name :
         {std::string("DejaVu Serif:bold"), std::string("DejaVu Serif-12"),
          std::string("DejaVu Serif:weight=200"), std::string("DejaVu\\ Serif"),
          std::string("DejaVu Serif\0bold", 17), std::string("DejaVu\nSerif\x1b[31m"),
          std::string(10000, 'x'), std::string(10000, ':')}) {
        SCOPED_TRACE(name.substr(0, 40));
        const std::optional<SystemFont> found = MatchSystemFont(name, false, false);
        ASSERT_TRUE(found);
        EXPECT_FALSE(found->ofFamily) << found->family;
        EXPECT_EQ(found->path.find("Bold"), std::string::npos) << found->path;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}
