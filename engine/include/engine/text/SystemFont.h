#pragma once

// The desktop's fonts, found as the desktop finds them (fontconfig): a family
// named by the user, or by a level made in an editor, to a file Font loads.

#include <optional>
#include <string>
#include <string_view>

namespace Engine {

/// The face fontconfig matches for a family, bold and/or italic.
struct SystemFont {
    std::string path;    ///< The font file.
    int face = 0;        ///< Which face of it (Font::Rasterize's face).
    std::string family;  ///< The family of the face, as fontconfig names it.
    bool bold = false;   ///< The face is bold itself (else only emboldening makes it so).
    bool italic = false; ///< The face is italic or oblique itself.
    /// The face is of the family asked for, or the family is one of
    /// fontconfig's generic names ("serif", "sans-serif", "monospace", ...)
    /// that the desktop maps to a family of its choice. Else fontconfig found
    /// nothing of the family and gave its best stand-in.
    bool ofFamily = false;
};

/// The desktop's best face for family (matched as fontconfig matches it: any
/// case, its generic names and aliases), bold and/or italic where the family
/// has such a face, else its nearest; a stand-in from another family where
/// it has none (see ofFamily). The name is taken as it is, never parsed as a
/// fontconfig pattern. Nothing when fontconfig gives no file. No window needed.
std::optional<SystemFont> MatchSystemFont(std::string_view family, bool bold = false,
                                          bool italic = false);

/// The file of the desktop's best font of family, bold and/or italic as near
/// as the family has it; nothing when the desktop has no font of that family.
/// A collection (.ttc) holds several faces, and Font loads its first unless
/// told which: MatchSystemFont gives the face as well.
std::optional<std::string> FindSystemFont(std::string_view family, bool bold = false,
                                          bool italic = false);

} // namespace Engine
