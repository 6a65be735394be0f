// The file watch on a clock and a disk of the test's own: every way an
// editor saves is reported once, after it has settled, and never half-way.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include <engine/core/FileWatch.h>

using namespace Engine;

namespace {

// A disk whose files change when the test says so.
struct FakeDisk {
    std::map<std::string, FileWatch::Stamp> files;
    int looks = 0;
    uint64_t nextInode = 100;

    FileWatch::Stamper Stamper() {
        return [this](const std::string& path) {
            ++looks;
            auto it = files.find(path);
            return it == files.end() ? FileWatch::Stamp{} : it->second;
        };
    }
    void Write(const std::string& path, uint64_t size, int64_t when) {
        FileWatch::Stamp& s = files[path];
        if (!s.exists)
            s.inode = nextInode++;
        s.exists = true;
        s.size = size;
        s.modifiedNs = when;
    }
    void RenameOver(const std::string& path, uint64_t size, int64_t when) {
        files[path] = {true, 1, nextInode++, size, when};
    }
    void Remove(const std::string& path) { files.erase(path); }
};

// Saves, each a list of (time, what happens) on a file "map" and the tile set
// "tiles" it names, and the times at which the watch must report a change
// (polled every 10 ms).
struct Save {
    const char* name;
    std::vector<std::pair<double, std::function<void(FakeDisk&)>>> steps;
    std::vector<double> changes; // each within 10 ms after the time given
    int missingReports = 0;
};

TEST(FileWatch, EveryWayOfSavingIsReportedOnceAfterItSettles) {
    const std::string map = "map", tiles = "tiles";
    const std::vector<Save> saves = {
        {"nothing", {}, {}},
        {"in place, in two halves 50 ms apart",
         {{1.0, [&](FakeDisk& d) { d.Write(map, 10, 1); }},
          {1.05, [&](FakeDisk& d) { d.Write(map, 20, 2); }}},
         {1.15}},
        {"in place, the same size, only the time differs",
         {{1.0, [&](FakeDisk& d) { d.Write(map, 5, 7); }}},
         {1.1}},
        {"a new file renamed over the old one",
         {{1.0, [&](FakeDisk& d) { d.RenameOver(map, 5, 0); }}},
         {1.1}},
        {"removed, then written half a second later",
         {{1.0, [&](FakeDisk& d) { d.Remove(map); }},
          {1.5, [&](FakeDisk& d) { d.Write(map, 30, 3); }}},
         {1.6}},
        {"removed for good",
         {{1.0, [&](FakeDisk& d) { d.Remove(map); }}},
         {},
         1},
        {"removed for two seconds, back, gone again",
         {{1.0, [&](FakeDisk& d) { d.Remove(map); }},
          {3.0, [&](FakeDisk& d) { d.Write(map, 30, 3); }},
          {4.0, [&](FakeDisk& d) { d.Remove(map); }}},
         {3.1},
         2},
        {"two saves a second apart",
         {{1.0, [&](FakeDisk& d) { d.Write(map, 10, 1); }},
          {2.0, [&](FakeDisk& d) { d.Write(map, 11, 2); }}},
         {1.1, 2.1}},
        {"the tile set moved away, then the map saved to name it where it went",
         {{1.0, [&](FakeDisk& d) { d.Remove(tiles); }},
          {3.0, [&](FakeDisk& d) { d.Write(map, 40, 4); }}},
         {3.1},
         1},
    };
    for (const Save& save : saves) {
        SCOPED_TRACE(save.name);
        FakeDisk disk;
        disk.Write(map, 5, 0);
        disk.Write(tiles, 5, 0);
        FileWatch watch({0.25, 0.1, 1.0}, disk.Stamper());
        watch.Watch({map, tiles});
        std::vector<double> changes;
        int missing = 0;
        size_t step = 0;
        for (int tick = 0; tick <= 600; ++tick) {
            const double now = tick * 0.01;
            while (step < save.steps.size() && save.steps[step].first <= now + 1e-9)
                save.steps[step++].second(disk);
            const FileWatch::Report report = watch.Poll(now);
            missing += int(report.missing.size());
            if (report.changed) {
                changes.push_back(now);
                watch.Take();
            }
        }
        ASSERT_EQ(changes.size(), save.changes.size());
        for (size_t i = 0; i < changes.size(); ++i) {
            // Seen at the first look after it, reported a settling time later.
            EXPECT_GE(changes[i], save.changes[i] - 1e-9) << i;
            EXPECT_LE(changes[i], save.changes[i] + 0.25 + 0.01) << i;
        }
        EXPECT_EQ(missing, save.missingReports);
        // A few looks a second at each file while nothing changes.
        EXPECT_LE(disk.looks, 2 * (6 * 5 + 20));
    }
}

TEST(FileWatch, ASaveThatWasReadAndFailedIsNotReportedAgain) {
    FakeDisk disk;
    disk.Write("a", 1, 0);
    FileWatch watch({0.25, 0.1, 1.0}, disk.Stamper());
    watch.Watch({"a"});
    disk.Write("a", 2, 1);
    int changes = 0;
    for (int tick = 0; tick < 300; ++tick)
        if (watch.Poll(tick * 0.01).changed) {
            ++changes;
            watch.Take(); // read, and refused: the same save is not retried
        }
    EXPECT_EQ(changes, 1);
}

TEST(FileWatch, FilesWatchedAnewAreTakenAsTheyAreAndTheOthersKeepTheirState) {
    FakeDisk disk;
    disk.Write("map", 1, 0);
    disk.Write("old.tsx", 1, 0);
    disk.Write("new.tsx", 1, 0);
    FileWatch watch({0.25, 0.1, 1.0}, disk.Stamper());
    watch.Watch({"map", "old.tsx"});
    disk.Write("map", 2, 1);
    watch.Poll(0.0);
    ASSERT_TRUE(watch.Poll(0.2).changed);
    // The map now names new.tsx instead of old.tsx; taken before or after.
    watch.Watch({"map", "new.tsx"});
    watch.Take();
    for (int tick = 30; tick < 200; ++tick)
        EXPECT_FALSE(watch.Poll(tick * 0.01).changed) << tick;
    disk.Write("old.tsx", 5, 5); // no longer watched
    EXPECT_FALSE(watch.Poll(3.0).changed);
    disk.Write("new.tsx", 5, 5);
    watch.Poll(4.0);
    EXPECT_TRUE(watch.Poll(4.2).changed);
}

TEST(FileWatch, StampsFromTheFileSystemTellEverySaveApart) {
    const auto dir = std::filesystem::temp_directory_path() / "file_watch_test";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "level.tmx").string();
    std::ofstream(path) << "first";
    const FileWatch::Stamp first = FileWatch::StampOf(path);
    EXPECT_TRUE(first.exists);
    EXPECT_EQ(first.size, 5u);
    std::ofstream(path + ".new") << "other";
    std::filesystem::rename(path + ".new", path);
    const FileWatch::Stamp renamed = FileWatch::StampOf(path);
    EXPECT_NE(renamed, first) << "same size, a new file renamed over it";
    std::filesystem::remove(path);
    EXPECT_FALSE(FileWatch::StampOf(path).exists);
    std::filesystem::remove_all(dir);
}

} // namespace
