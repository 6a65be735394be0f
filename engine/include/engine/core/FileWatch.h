#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Engine {

/// Notices when files change on disk, by looking at them now and then: for
/// programs that take their content again when an editor saves it. Nothing
/// runs on its own; the program calls Poll on its own thread, as often as it
/// likes, and Poll looks at the files only every so often.
///
/// Editors save in different ways: in place, where a reader can see the file
/// half written; by writing a new file and renaming it over the old one; or by
/// removing the file and then writing it. So a change is reported only once
/// every file is there and none has changed for a while. A file gone for
/// Timing::missing holds the others back no longer: the file that named it
/// may have been saved to name another.
class FileWatch {
public:
    /// What a file looks like on disk; two differ when it was changed, replaced
    /// or removed.
    struct Stamp {
        bool exists = false;    ///< The path names a regular file that could be looked at.
        uint64_t device = 0;    ///< The file system the file lies on.
        uint64_t inode = 0;     ///< The file itself on that file system.
        uint64_t size = 0;      ///< Bytes.
        int64_t modifiedNs = 0; ///< Last modified, nanoseconds since the epoch.
        bool operator==(const Stamp&) const = default; ///< Every field alike.
    };
    /// Takes a file's stamp; tests hand in their own.
    using Stamper = std::function<Stamp(const std::string& path)>;

    /// How often to look, in seconds.
    struct Timing {
        double interval = 0.25; ///< between looks while nothing is changing
        double settle = 0.1;    ///< files must hold still this long before a change is reported
        double missing = 1.0;   ///< a file missing this long is reported once
    };

    /// What one Poll found.
    struct Report {
        /// Some file differs from when it was taken, every file is there (or
        /// missing for Timing::missing), and none has changed for
        /// Timing::settle: time to read them again.
        bool changed = false;
        /// Files missing for Timing::missing, each named once while it is gone;
        /// not those missing when taken, which were never there.
        std::vector<std::string> missing;
    };

    /// The default timing, the file system's stamps.
    FileWatch();
    /// The given timing; stamps from stamper (tests hand in their own).
    explicit FileWatch(Timing timing, Stamper stamper = StampOf);

    /// Watches these files from now on. Files watched already keep what was
    /// taken of them; the others are taken as they are now.
    void Watch(const std::vector<std::string>& paths);
    /// Looks at the files if it is time to, `now` being seconds on any steady clock.
    Report Poll(double now);
    /// Takes the files as last looked at as read: call it after reading them
    /// again, whether that worked or not, so that only a later change counts.
    void Take();

    /// A file's stamp from the file system; a file that cannot be looked at,
    /// or that is no regular file (a directory, a pipe, a device), is missing.
    static Stamp StampOf(const std::string& path);

private:
    struct Watched {
        std::string path;
        Stamp taken; // as it was when last read
        Stamp seen;  // as the last look found it
        double missingSince = -1.0;
        bool reported = false; // its being missing
    };
    // Whether some file that is there differs from when it was last read.
    bool Differs() const;
    // Whether some file is gone, and not yet for Timing::missing.
    bool HeldBack() const;

    Timing m_timing;
    Stamper m_stamper;
    std::vector<Watched> m_files;
    // Since when the files have looked as they do now.
    double m_seenSince = 0.0;
    double m_lastLook = 0.0;
    bool m_looked = false;
};

} // namespace Engine
