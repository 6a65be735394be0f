#pragma once

// Reading a file someone named — a save, a map, a tile set — whole and
// bounded: only a regular file, opened without waiting, since a pipe could
// block and a device never end. Files' loads and the Tiled reader both read
// this way and word their failures each their own way.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <utility>

namespace Engine::Detail {

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

// What came of ReadRegular.
struct RegularRead {
    enum Outcome { Read, Missing, CannotOpen, NotRegular, TooLarge, CannotRead };
    Outcome outcome = Read;
    int error = 0;     // errno, for Missing, CannotOpen and CannotRead
    uint64_t size = 0; // for TooLarge: the bytes it holds, as far as they were seen
};

// The whole of the regular file at path into bytes (a std::string or a
// vector of bytes), at most limit of them. Read to its end rather than to
// the size it reports, which a file growing meanwhile, or one of the
// kernel's, does not keep.
template <typename Bytes> RegularRead ReadRegular(const char* path, size_t limit, Bytes& bytes) {
    Fd fd(::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd)
        return {errno == ENOENT ? RegularRead::Missing : RegularRead::CannotOpen, errno};
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0)
        return {RegularRead::CannotOpen, errno};
    if (!S_ISREG(st.st_mode))
        return {RegularRead::NotRegular};
    if (uint64_t(st.st_size) > limit)
        return {RegularRead::TooLarge, 0, uint64_t(st.st_size)};
    // One byte past the limit tells a file too large.
    const size_t cap = limit == SIZE_MAX ? limit : limit + 1;
    bytes.assign(std::min(size_t(st.st_size) + 1, cap), 0);
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
            return {RegularRead::CannotRead, errno};
        if (n == 0)
            break;
        got += size_t(n);
    }
    if (got > limit)
        return {RegularRead::TooLarge, 0, got};
    bytes.resize(got);
    return {};
}

} // namespace Engine::Detail
