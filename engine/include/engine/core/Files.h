#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

/// A game's own files: where they go on a Linux desktop, and saving them so
/// that a crash, a full disk or a power cut in the middle never leaves a
/// player with a cut or empty file. Failures are warned of (naming the file
/// and the system's reason) and returned, never fatal.
namespace Engine::Files {

/// The largest file Load reads unless told otherwise: far past any save, and
/// a bound on a file that never ends.
inline constexpr size_t MAX_LOAD_BYTES = size_t(64) << 20;

/// The folder for a game's saved data: `$XDG_DATA_HOME/<game>`, or
/// `$HOME/.local/share/<game>` when that variable is unset, empty or not an
/// absolute path. Made with its parents as needed (0700, as far as the umask
/// allows). Empty, with a warning, when no folder can be had or when `game`
/// is not a plain file name (empty, "." or "..", or holding '/'): check it
/// before building a path on it, or "" + "/best" is a file at the root.
/// With make false nothing is made and nothing warned of but a bad name: the
/// place to read from, for a program that writes nothing until it saves.
std::string DataDir(std::string_view game, bool make = true);
/// The same for settings: `$XDG_CONFIG_HOME/<game>` or `$HOME/.config/<game>`.
std::string ConfigDir(std::string_view game, bool make = true);

/// Makes the folder at `path` and any of its parents missing (0700, as far as
/// the umask allows), as a game keeps its levels in a folder of its data
/// folder: `Files::MakeFolder(dir + "/levels")` before saving into it. True
/// when it is a folder now; false, with a warning, when it cannot be made or
/// something else is in its place.
bool MakeFolder(const std::string& path);

/// The names of the regular files directly in `folder`, sorted byte by byte,
/// as a game lists its saved levels or slots: only those ending in
/// `extension` when one is given (".txt", case as written), and never hidden
/// ones (a name starting with '.'; a save in progress is one). Open one as
/// `folder + "/" + name`. Empty, quietly, when there is no such folder, and
/// with a warning when it cannot be read.
std::vector<std::string> List(const std::string& folder, std::string_view extension = {});

/// Replaces the file at `path` with `text` whole, or leaves it as it was: the
/// text is written to a new file beside it, flushed to the disk, and only
/// then renamed over it. A new file gets the umask's permissions, a replaced
/// one keeps its own. At a link, the file it names is replaced and the link
/// stays. False, with a warning, on any failure; nothing is left behind then.
bool SaveText(const std::string& path, std::string_view text);
/// SaveText for bytes.
bool SaveBytes(const std::string& path, std::span<const uint8_t> bytes);

/// The whole content of a regular file, or nullopt: quietly when there is no
/// such file (nothing saved yet), with a warning when it cannot be read, is
/// no regular file (a pipe or a device could block or never end) or holds
/// more than `limit` bytes.
std::optional<std::string> LoadText(const std::string& path, size_t limit = MAX_LOAD_BYTES);
/// LoadText as bytes.
std::optional<std::vector<uint8_t>> LoadBytes(const std::string& path,
                                              size_t limit = MAX_LOAD_BYTES);

} // namespace Engine::Files
