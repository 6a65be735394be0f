// The desktop's fonts found by family, against fc-match on this machine; no
// display needed.

#include <gtest/gtest.h>

#include <array>
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
