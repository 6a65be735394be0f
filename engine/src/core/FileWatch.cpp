#include <engine/core/FileWatch.h>

#include <sys/stat.h>

#include <algorithm>

namespace Engine {

FileWatch::FileWatch() : FileWatch(Timing{}) {}

FileWatch::FileWatch(Timing timing, Stamper stamper)
    : m_timing(timing), m_stamper(std::move(stamper)) {}

FileWatch::Stamp FileWatch::StampOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return {true, static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino),
            static_cast<uint64_t>(st.st_size),
            static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

std::vector<FileWatch::Stamp> FileWatch::StampAll() const {
    std::vector<Stamp> stamps;
    stamps.reserve(m_paths.size());
    for (const std::string& path : m_paths)
        stamps.push_back(m_stamper(path));
    return stamps;
}

void FileWatch::Watch(const std::vector<std::string>& paths) {
    std::vector<Stamp> taken, seen;
    std::vector<double> missingSince;
    std::vector<bool> reported;
    for (const std::string& path : paths) {
        auto old = std::find(m_paths.begin(), m_paths.end(), path);
        if (old == m_paths.end()) {
            taken.push_back(m_stamper(path));
            seen.push_back(taken.back());
            missingSince.push_back(-1.0);
            reported.push_back(false);
            continue;
        }
        const auto i = size_t(old - m_paths.begin());
        taken.push_back(m_taken[i]);
        seen.push_back(m_seen[i]);
        missingSince.push_back(m_missingSince[i]);
        reported.push_back(m_reported[i]);
    }
    m_paths = paths;
    m_taken = std::move(taken);
    m_seen = std::move(seen);
    m_missingSince = std::move(missingSince);
    m_reported = std::move(reported);
}

void FileWatch::Take() {
    m_taken = m_seen;
}

FileWatch::Report FileWatch::Poll(double now) {
    Report report;
    // While a change is settling, look again as soon as it may have settled;
    // a file that is gone is waited for at the usual pace.
    const bool settling =
        m_seen != m_taken &&
        std::all_of(m_seen.begin(), m_seen.end(), [](const Stamp& s) { return s.exists; });
    const double wait = settling ? m_timing.settle : m_timing.interval;
    if (m_looked && now - m_lastLook < wait)
        return report;
    m_looked = true;
    m_lastLook = now;

    std::vector<Stamp> stamps = StampAll();
    bool allThere = true;
    for (size_t i = 0; i < stamps.size(); ++i) {
        if (stamps[i].exists) {
            m_missingSince[i] = -1.0;
            m_reported[i] = false;
            continue;
        }
        allThere = false;
        if (m_missingSince[i] < 0.0)
            m_missingSince[i] = now;
        else if (!m_reported[i] && now - m_missingSince[i] >= m_timing.missing) {
            m_reported[i] = true;
            report.missing.push_back(m_paths[i]);
        }
    }
    if (stamps != m_seen) {
        m_seen = std::move(stamps);
        m_seenSince = now;
        return report;
    }
    report.changed = allThere && m_seen != m_taken && now - m_seenSince >= m_timing.settle;
    return report;
}

} // namespace Engine
