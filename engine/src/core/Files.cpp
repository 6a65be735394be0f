#include <engine/core/Files.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include <engine/core/Log.h>

namespace Engine::Files {

namespace {

// A file descriptor, closed however the function is left.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { Close(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return m_fd; }
    void Reset(int fd) {
        Close();
        m_fd = fd;
    }
    explicit operator bool() const { return m_fd >= 0; }
    // Closes it now; false with errno set when closing reports a failure,
    // as a network file system may for data written earlier.
    bool Close() {
        const int fd = std::exchange(m_fd, -1);
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

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

bool Save(const std::string& path, const void* data, size_t size) {
    const size_t slash = path.rfind('/');
    const std::string prefix = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    const std::string name = path.substr(prefix.size());
    auto fail = [&](int error) {
        Log::Warn("FILES", "Could not save %s: %s", path.c_str(), std::strerror(error));
        return false;
    };
    if (name.empty())
        return fail(EISDIR);

    // Beside the file, so that the rename stays on one file system; hidden,
    // and named by process and count so that saves at once do not meet.
    static std::atomic<unsigned> s_count{0};
    std::string temp;
    Fd fd;
    for (int tries = 0; !fd; ++tries) {
        temp = prefix + "." + name + "." + std::to_string(::getpid()) + "-" +
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
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode))
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
    if (::rename(temp.c_str(), path.c_str()) != 0)
        return failRemoving(errno);

    // The rename itself is on the disk once the folder is. Some file systems
    // cannot flush a folder (EINVAL); the rename is as safe as they make it.
    const std::string dir = prefix.empty() ? "." : prefix;
    Fd folder(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder && ::fsync(folder.Get()) != 0 && errno != EINVAL)
        return fail(errno);
    return true;
}

template <typename Bytes> std::optional<Bytes> Load(const std::string& path, size_t limit) {
    // Opened without waiting, then asked what it is: a pipe would wait for
    // a writer, and a device could never end.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    auto fail = [&](const char* why) {
        Log::Warn("FILES", "Could not read %s: %s", path.c_str(), why);
        return std::nullopt;
    };
    if (!fd) {
        if (errno == ENOENT)
            return std::nullopt; // nothing saved yet
        return fail(std::strerror(errno));
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0)
        return fail(std::strerror(errno));
    if (!S_ISREG(st.st_mode))
        return fail("not a regular file");
    const std::string tooLarge = "more than the limit of " + std::to_string(limit) + " bytes";
    if (uint64_t(st.st_size) > limit)
        return fail(tooLarge.c_str());

    // Read to the end rather than to the size seen, which a file growing
    // meanwhile, or one of the kernel's, does not keep; one byte past the
    // limit tells a file too large.
    const size_t cap = limit == SIZE_MAX ? limit : limit + 1;
    Bytes bytes(std::min(size_t(st.st_size) + 1, cap), 0);
    size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got == cap)
                break;
            bytes.resize(std::min(std::max(got * 2, size_t(4096)), cap));
        }
        const ssize_t n = ::read(fd.Get(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail(std::strerror(errno));
        if (n == 0)
            break;
        got += size_t(n);
    }
    if (got > limit)
        return fail(tooLarge.c_str());
    bytes.resize(got);
    return bytes;
}

} // namespace

std::string DataDir(std::string_view game, bool make) {
    return Dir("XDG_DATA_HOME", ".local/share", game, make);
}

std::string ConfigDir(std::string_view game, bool make) {
    return Dir("XDG_CONFIG_HOME", ".config", game, make);
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
