#include <engine/core/FileWatch.h>

#include <sys/stat.h>

#include <algorithm>

namespace Engine {

FileWatch::FileWatch() : FileWatch(Timing{}) {}

FileWatch::FileWatch(Timing timing, Stamper stamper)
    : m_timing(timing), m_stamper(std::move(stamper)) {}

FileWatch::Stamp FileWatch::StampOf(const std::string& path) {
    struct stat st {};
    // Only a regular file is there to be read again: opening a named pipe
    // waits for a writer that may never come, and no editor saves a device.
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    return {true, static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
            static_cast<uint64_t>(st.st_size),
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

void FileWatch::Watch(const std::vector<std::string>& paths) {
    std::vector<Watched> files;
    files.reserve(paths.size());
    for (const std::string& path : paths) {
        auto old = std::find_if(m_files.begin(), m_files.end(),
                                [&](const Watched& f) { return f.path == path; });
        if (old != m_files.end()) {
            files.push_back(*old);
        } else {
            const Stamp now = m_stamper(path);
            files.push_back({path, now, now});
        }
    }
    m_files = std::move(files);
}

void FileWatch::Take() {
    for (Watched& file : m_files)
        file.taken = file.seen;
}

bool FileWatch::Differs() const {
    // A file gone is no save to read: it holds the others back for a while,
    // and its coming back is the change.
    return std::any_of(m_files.begin(), m_files.end(),
                       [](const Watched& f) { return f.seen.exists && f.seen != f.taken; });
}

bool FileWatch::HeldBack() const {
    // One gone for good may no longer be named by the file that named it,
    // saved since to name another: past its warning, it holds nothing back.
    return std::any_of(m_files.begin(), m_files.end(),
                       [](const Watched& f) { return !f.seen.exists && !f.reported; });
}

FileWatch::Report FileWatch::Poll(double now) {
    Report report;
    // While a change is settling, look again as soon as it may have settled;
    // a file that is gone is waited for at the usual pace.
    const double wait = !HeldBack() && Differs() ? m_timing.settle : m_timing.interval;
    if (m_looked && now - m_lastLook < wait)
        return report;
    m_looked = true;
    m_lastLook = now;

    bool moved = false;
    for (Watched& file : m_files) {
        const Stamp stamp = m_stamper(file.path);
        if (stamp.exists) {
            file.missingSince = -1.0;
            file.reported = false;
        } else {
            if (file.missingSince < 0.0)
                file.missingSince = now;
            else if (!file.reported && now - file.missingSince >= m_timing.missing) {
                file.reported = true;
                // One missing when taken was never there to be gone.
                if (file.taken.exists)
                    report.missing.push_back(file.path);
            }
        }
        if (stamp != file.seen) {
            file.seen = stamp;
            moved = true;
        }
    }
    if (moved)
        m_seenSince = now;
    else
        report.changed = !HeldBack() && Differs() && now - m_seenSince >= m_timing.settle;
    return report;
}

} // namespace Engine
