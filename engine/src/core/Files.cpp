#include <engine/core/Files.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include <engine/core/Log.h>

#include "core/RegularFile.h"

namespace Engine::Files {

namespace {

// The base folder: the variable when it holds an absolute path, else the
// fallback below HOME. Relative values are ignored, as the desktop's base
// directory rules ask.
std::string Base(const char* variable, const char* fallback) {
    std::string base;
    if (const char* value = std::getenv(variable); value && value[0] == '/')
        base = value;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        base = std::string(home) + "/" + fallback;
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    return base;
}

// Makes the folder and any of its parents missing; true when it is a folder
// now, else false with errno set.
bool MakeDirs(const std::string& dir) {
    for (size_t at = dir.find('/', 1);; at = dir.find('/', at + 1)) {
        const std::string upTo = dir.substr(0, at);
        if (upTo.back() != '/' && ::mkdir(upTo.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (at == std::string::npos)
            break;
    }
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

std::string Dir(const char* variable, const char* fallback, std::string_view game, bool make) {
    const std::string name(game);
    // A plain name only: anything else would reach outside the base folder.
    if (name.empty() || name == "." || name == ".." ||
        name.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
        Log::Warn("FILES", "Not a name for a game's folder: \"%s\"", name.c_str());
        return {};
    }
    const std::string base = Base(variable, fallback);
    if (base.empty()) {
        if (!make)
            return {};
        Log::Warn("FILES", "No folder for %s: neither %s nor HOME is an absolute path",
                  name.c_str(), variable);
        return {};
    }
    const std::string dir = base + "/" + name;
    if (make && !MakeDirs(dir)) {
        Log::Warn("FILES", "Could not make the folder %s: %s", dir.c_str(), std::strerror(errno));
        return {};
    }
    return dir;
}

// The file a save at path replaces: the one a link there names, so that a
// save kept elsewhere and linked into place (a settings file among a
// player's dotfiles) stays linked and is the one saved. A link that names
// nothing yet is replaced itself.
std::string SavedFile(const std::string& path) {
    struct stat link {};
    if (::lstat(path.c_str(), &link) != 0 || !S_ISLNK(link.st_mode))
        return path;
    const std::unique_ptr<char, void (*)(void*)> real(::realpath(path.c_str(), nullptr), std::free);
    return real ? std::string(real.get()) : path;
}

bool Save(const std::string& path, const void* data, size_t size) {
    const std::string file = SavedFile(path);
    const size_t slash = file.rfind('/');
    const std::string prefix = slash == std::string::npos ? "" : file.substr(0, slash + 1);
    const std::string name = file.substr(prefix.size());
    auto fail = [&](int error) {
        Log::Warn("FILES", "Could not save %s: %s", path.c_str(), std::strerror(error));
        return false;
    };
    if (name.empty())
        return fail(EISDIR);

    // Beside the file, so that the rename stays on one file system; hidden,
    // and named by process and count so that saves at once do not meet. The
    // name is cut so that a file named near the 255 bytes a name may take
    // still saves.
    static std::atomic<unsigned> s_count{0};
    const std::string stem = name.substr(0, 200);
    std::string temp;
    Detail::Fd fd;
    for (int tries = 0; !fd; ++tries) {
        temp = prefix + "." + stem + "." + std::to_string(::getpid()) + "-" +
               std::to_string(s_count++) + ".tmp";
        fd.Reset(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
        if (!fd && (errno != EEXIST || tries == 100))
            return fail(errno);
    }
    auto failRemoving = [&](int error) {
        fd.Close();
        ::unlink(temp.c_str());
        return fail(error);
    };

    // A file replaced keeps who may read it.
    struct stat old {};
    if (::stat(file.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        ::fchmod(fd.Get(), old.st_mode & 07777);

    const char* at = static_cast<const char*>(data);
    for (size_t left = size; left > 0;) {
        const ssize_t n = ::write(fd.Get(), at, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return failRemoving(errno);
        at += n;
        left -= size_t(n);
    }
    // On the disk before it takes the old one's place: a power cut then
    // finds either file whole.
    if (::fsync(fd.Get()) != 0 || !fd.Close())
        return failRemoving(errno);
    if (::rename(temp.c_str(), file.c_str()) != 0)
        return failRemoving(errno);

    // The rename itself is on the disk once the folder is. Some file systems
    // cannot flush a folder (EINVAL); the rename is as safe as they make it.
    const std::string dir = prefix.empty() ? "." : prefix;
    Detail::Fd folder(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder && ::fsync(folder.Get()) != 0 && errno != EINVAL)
        return fail(errno);
    return true;
}

template <typename Bytes> std::optional<Bytes> Load(const std::string& path, size_t limit) {
    Bytes bytes;
    const Detail::RegularRead read = Detail::ReadRegular(path.c_str(), limit, bytes);
    auto fail = [&](const std::string& why) {
        Log::Warn("FILES", "Could not read %s: %s", path.c_str(), why.c_str());
        return std::nullopt;
    };
    switch (read.outcome) {
    case Detail::RegularRead::Read:
        return bytes;
    case Detail::RegularRead::Missing:
        return std::nullopt; // nothing saved yet
    case Detail::RegularRead::NotRegular:
        return fail("not a regular file");
    case Detail::RegularRead::TooLarge:
        return fail("more than the limit of " + std::to_string(limit) + " bytes");
    default:
        return fail(std::strerror(read.error));
    }
}

} // namespace

std::string DataDir(std::string_view game, bool make) {
    return Dir("XDG_DATA_HOME", ".local/share", game, make);
}

std::string ConfigDir(std::string_view game, bool make) {
    return Dir("XDG_CONFIG_HOME", ".config", game, make);
}

bool MakeFolder(const std::string& path) {
    if (path.empty() || !MakeDirs(path)) {
        Log::Warn("FILES", "Could not make the folder %s: %s", path.c_str(),
                  std::strerror(path.empty() ? ENOENT : errno));
        return false;
    }
    return true;
}

std::vector<std::string> List(const std::string& folder, std::string_view extension) {
    std::vector<std::string> names;
    const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) {
        if (errno != ENOENT)
            Log::Warn("FILES", "Could not list %s: %s", folder.c_str(), std::strerror(errno));
        return names;
    }
    const int at = ::dirfd(dir.get());
    // readdir tells its end from a failure only by errno, which fstatat sets too.
    for (errno = 0; const dirent* entry = ::readdir(dir.get()); errno = 0) {
        const std::string_view name = entry->d_name;
        if (name.starts_with('.') || !name.ends_with(extension))
            continue;
        // The type the folder gives may be unknown; a link counts as what it names.
        struct stat st {};
        if (::fstatat(at, entry->d_name, &st, 0) == 0 && S_ISREG(st.st_mode))
            names.emplace_back(name);
    }
    if (errno != 0)
        Log::Warn("FILES", "Could not list all of %s: %s", folder.c_str(), std::strerror(errno));
    std::sort(names.begin(), names.end());
    return names;
}

bool SaveText(const std::string& path, std::string_view text) {
    return Save(path, text.data(), text.size());
}

bool SaveBytes(const std::string& path, std::span<const uint8_t> bytes) {
    return Save(path, bytes.data(), bytes.size());
}

std::optional<std::string> LoadText(const std::string& path, size_t limit) {
    return Load<std::string>(path, limit);
}

std::optional<std::vector<uint8_t>> LoadBytes(const std::string& path, size_t limit) {
    return Load<std::vector<uint8_t>>(path, limit);
}

} // namespace Engine::Files
