#include <engine/text/SystemFont.h>

#include <array>
#include <memory>

#include <fontconfig/fontconfig.h>

namespace Engine {

namespace {

struct PatternDone {
    void operator()(FcPattern* pattern) const { FcPatternDestroy(pattern); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternDone>;

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

// The names fontconfig's own configuration turns into the desktop's choice
// of family: any face it gives for them is what was asked for.
bool Generic(std::string_view family) {
    static constexpr std::array<std::string_view, 10> names{
        "serif",   "sans-serif", "sans",      "monospace", "mono",
        "cursive", "fantasy",    "system-ui", "emoji",     "math"};
    for (std::string_view name : names)
        if (SameIgnoringCase(family, name))
            return true;
    return false;
}

} // namespace

std::optional<SystemFont> MatchSystemFont(std::string_view family, bool bold, bool italic) {
    // The library's current configuration, loaded by fontconfig on first use
    // and kept for the process: no FcInit or FcFini of ours, which would
    // pull it from under any other user in the process.
    PatternPtr pattern(FcPatternCreate());
    if (!pattern)
        return std::nullopt;
    // Added as a plain string: a name is never parsed, so ':', '=', '-' or
    // '\\' in it mean nothing. A NUL cuts it short, and then it names no
    // family of the matched face's.
    const std::string name(family);
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern.get(), FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    if (!FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern))
        return std::nullopt;
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    const PatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
    FcChar8* file = nullptr;
    if (!match || FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || !file)
        return std::nullopt;
    SystemFont found;
    found.path = reinterpret_cast<const char*>(file);
    FcPatternGetInteger(match.get(), FC_INDEX, 0, &found.face);
    // Only the face's number within its file: the high bits pick a named
    // instance of a variable font, which Font does not set.
    found.face &= 0xFFFF;
    int weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
    FcPatternGetInteger(match.get(), FC_WEIGHT, 0, &weight);
    FcPatternGetInteger(match.get(), FC_SLANT, 0, &slant);
    found.bold = weight >= FC_WEIGHT_DEMIBOLD;
    found.italic = slant != FC_SLANT_ROMAN;
    found.ofFamily = Generic(name);
    // A face may belong to several families ("DejaVu Serif" and "DejaVu
    // Serif Condensed"); the first is its own.
    FcChar8* each = nullptr;
    for (int i = 0; FcPatternGetString(match.get(), FC_FAMILY, i, &each) == FcResultMatch; ++i) {
        const std::string_view one(reinterpret_cast<const char*>(each));
        if (i == 0)
            found.family = one;
        found.ofFamily = found.ofFamily || SameIgnoringCase(one, family);
    }
    return found;
}

std::optional<std::string> FindSystemFont(std::string_view family, bool bold, bool italic) {
    std::optional<SystemFont> found = MatchSystemFont(family, bold, italic);
    if (!found || !found->ofFamily)
        return std::nullopt;
    return std::move(found->path);
}

} // namespace Engine
