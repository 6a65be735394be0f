// A game's own files: the folders the environment names, saves that replace a
// file whole or leave it be, and loads that refuse what is no saved file.
// Tests run as root, whom permission bits do not stop, so failures are made
// of what stops anyone: a folder in the way, a file where a folder should be,
// a size limit on the process.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <engine/core/Files.h>

namespace fs = std::filesystem;
using namespace Engine;

namespace {

// A folder of the test's own, and the variables it sets put back afterwards.
class FilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        char name[] = "/tmp/files_test.XXXXXX";
        ASSERT_NE(::mkdtemp(name), nullptr);
        m_dir = name;
        for (const char* v : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"}) {
            const char* was = std::getenv(v);
            m_env.emplace_back(v, was ? std::optional<std::string>(was) : std::nullopt);
        }
    }
    void TearDown() override {
        for (const auto& [name, value] : m_env)
            value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }
    std::string Path(const std::string& name) const { return m_dir + "/" + name; }
    static void Write(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // The names in a folder: no temporary may be left among them.
    static std::set<std::string> Names(const std::string& dir) {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir))
            names.insert(entry.path().filename().string());
        return names;
    }

    std::string m_dir;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_env;
};

TEST_F(FilesTest, FoldersFollowTheEnvironmentAndStayInside) {
    Write(Path("plain"), "a file, not a folder");
    const std::string unset = "\x01"; // the variable not set at all
    struct Case {
        const char* what;
        std::string xdg, home, game;
        std::string expected; // "" for refused
    };
    const Case cases[] = {
        {"the variable", Path("xdg"), Path("home"), "g", Path("xdg/g")},
        {"its parents made", Path("deep/er/xdg/"), Path("home"), "g", Path("deep/er/xdg/g")},
        {"unset", unset, Path("home"), "g", Path("home/%/g")},
        {"empty", "", Path("home"), "g", Path("home/%/g")},
        {"relative, ignored", "rel/xdg", Path("home"), "g", Path("home/%/g")},
        {"no usable home", "", "rel/home", "g", ""},
        {"a file in the way", Path("plain"), Path("home"), "g", ""},
        {"empty name", Path("xdg"), Path("home"), "", ""},
        {"dot", Path("xdg"), Path("home"), ".", ""},
        {"dot dot", Path("xdg"), Path("home"), "..", ""},
        {"a slash", Path("xdg"), Path("home"), "a/b", ""},
        {"a NUL", Path("xdg"), Path("home"), std::string("g\0/..", 5), ""},
        {"dots inside a name", Path("xdg"), Path("home"), "my..game", Path("xdg/my..game")},
    };
    struct Kind {
        const char* variable;
        const char* fallback;
        std::string (*dir)(std::string_view, bool);
    };
    for (const Kind& kind : {Kind{"XDG_DATA_HOME", ".local/share", Files::DataDir},
                             Kind{"XDG_CONFIG_HOME", ".config", Files::ConfigDir}}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(kind.variable) + ": " + c.what);
            c.xdg == unset ? ::unsetenv(kind.variable) : ::setenv(kind.variable, c.xdg.c_str(), 1);
            c.home == unset ? ::unsetenv("HOME") : ::setenv("HOME", c.home.c_str(), 1);
            std::string expected = c.expected;
            if (size_t at = expected.find('%'); at != std::string::npos)
                expected.replace(at, 1, kind.fallback);
            if (!expected.empty()) {
                // Asked only where to read, it makes nothing.
                const bool existed = fs::exists(expected);
                EXPECT_EQ(kind.dir(c.game, false), expected);
                EXPECT_EQ(fs::exists(expected), existed);
            }
            const std::string dir = kind.dir(c.game, true);
            EXPECT_EQ(dir, expected);
            if (!expected.empty()) {
                struct stat st {};
                ASSERT_EQ(::stat(dir.c_str(), &st), 0);
                EXPECT_TRUE(S_ISDIR(st.st_mode));
                // Private to the player, whatever else the umask allows.
                EXPECT_EQ(st.st_mode & 077, 0u);
            }
        }
    }
    // Nothing was made outside the test's folder, nor any folder for the bad names.
    EXPECT_FALSE(fs::exists(Path("xdg/a")));
    EXPECT_FALSE(fs::exists("rel"));
}

TEST_F(FilesTest, SavesReplaceAFileWholeOrLeaveItAsItWas) {
    // Round trips, over nothing and over an older file, of any bytes.
    const std::string save = Path("save");
    ASSERT_TRUE(Files::SaveText(save, "first"));
    ::chmod(save.c_str(), 0640);
    const std::string text("second\0with a NUL", 17);
    ASSERT_TRUE(Files::SaveText(save, text));
    EXPECT_EQ(Files::LoadText(save), text);
    struct stat st {};
    ASSERT_EQ(::stat(save.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "the replaced file's permissions are lost";
    const std::vector<uint8_t> bytes = {0, 255, 10, 13, 0};
    ASSERT_TRUE(Files::SaveBytes(Path("bytes"), bytes));
    EXPECT_EQ(Files::LoadBytes(Path("bytes")), bytes);
    ASSERT_TRUE(Files::SaveText(Path("empty"), ""));
    EXPECT_EQ(Files::LoadText(Path("empty")), "");
    const std::string longest = Path(std::string(255, 'n')); // as long as a name may be
    ASSERT_TRUE(Files::SaveText(longest, "long"));
    EXPECT_EQ(Files::LoadText(longest), "long");
    fs::remove(longest);
    // Settings kept among a player's dotfiles and linked into place, as stow
    // links them: the link stays, and the file it names is the one saved.
    fs::create_directory(Path("dotfiles"));
    Write(Path("dotfiles/settings"), "old");
    fs::create_symlink("dotfiles/settings", Path("settings"));
    ASSERT_TRUE(Files::SaveText(Path("settings"), "new"));
    EXPECT_TRUE(fs::is_symlink(Path("settings")));
    EXPECT_EQ(Read(Path("dotfiles/settings")), "new");

    // Failures that stop root too: each is reported, names the file, and
    // leaves the folder as it was.
    fs::create_directory(Path("folder"));
    Write(Path("plain"), "old");
    struct Failure {
        const char* what;
        std::string path;
    };
    const Failure failures[] = {
        {"a folder in the way", Path("folder")},
        {"a file where a folder should be", Path("plain/save")},
        {"no such folder", Path("missing/save")},
    };
    const std::set<std::string> before = Names(m_dir);
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.what);
        ::testing::internal::CaptureStderr();
        EXPECT_FALSE(Files::SaveText(f.path, "new"));
        EXPECT_NE(::testing::internal::GetCapturedStderr().find(f.path), std::string::npos)
            << "the warning does not name the file";
        EXPECT_EQ(Names(m_dir), before);
        EXPECT_TRUE(fs::is_empty(Path("folder")));
        EXPECT_EQ(Read(Path("plain")), "old");
    }

    // A disk that fills in the middle of a save, made by the file size limit
    // in a child of the test's own: the old file is still whole.
    Write(save, "the old save, whole");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN); // a failed write, not the end of the process
        const rlimit small{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &small);
        ::_exit(Files::SaveText(save, std::string(1 << 20, 'x')) ? 0 : 1);
    }
    int status = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (::waitpid(child, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            FAIL() << "the save did not end within 10 s";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "status " << status;
    EXPECT_EQ(Read(save), "the old save, whole");
    EXPECT_EQ(Names(m_dir), before);
}

TEST_F(FilesTest, LoadsRefuseWhatIsNoSavedFileWithinTheirLimit) {
    // A load that waits for a pipe's writer would hang: the alarm ends it.
    ::alarm(20);
    const std::string fifo = Path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Write(Path("ten"), "0123456789");
    fs::create_directory(Path("folder"));
    struct Case {
        const char* what;
        std::string path;
        size_t limit;
        std::optional<std::string> expected;
        bool warned;
    };
    const Case cases[] = {
        {"nothing saved yet", Path("missing"), Files::MAX_LOAD_BYTES, std::nullopt, false},
        {"at the limit", Path("ten"), 10, "0123456789", false},
        {"past the limit", Path("ten"), 9, std::nullopt, true},
        {"a folder", Path("folder"), Files::MAX_LOAD_BYTES, std::nullopt, true},
        {"a pipe with no writer", fifo, Files::MAX_LOAD_BYTES, std::nullopt, true},
        {"an endless device", "/dev/zero", Files::MAX_LOAD_BYTES, std::nullopt, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(Files::LoadText(c.path, c.limit), c.expected);
        const std::string err = ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.find(c.path) != std::string::npos, c.warned) << err;
    }
    // A file whose size says nothing of its content (the kernel's) is read
    // to its end, and still stopped at the limit.
    const auto status = Files::LoadBytes("/proc/self/status");
    ASSERT_TRUE(status.has_value());
    EXPECT_GT(status->size(), 100u);
    EXPECT_EQ(Files::LoadBytes("/proc/self/status", 100), std::nullopt);
    ::alarm(0);
}

// A game's folder of levels: made with its parents, then listed as a level
// select shows it, without folders, hidden files or saves in progress.
TEST_F(FilesTest, FoldersAreMadeAndListedByName) {
    const std::string levels = Path("data/game/levels");
    EXPECT_EQ(Files::List(levels), std::vector<std::string>{}); // none yet, quietly
    ASSERT_TRUE(Files::MakeFolder(levels));
    EXPECT_TRUE(Files::MakeFolder(levels + "/")); // there already
    EXPECT_TRUE(fs::is_directory(levels));
    for (const char* name : {"b.txt", "a.txt", "B.TXT", "c.txt.bak", ".hidden.txt", "notes"})
        Write(levels + "/" + name, "x");
    ASSERT_TRUE(fs::create_directory(levels + "/d.txt"));
    fs::create_symlink(levels + "/a.txt", levels + "/link.txt");
    fs::create_symlink(levels + "/gone", levels + "/dangling.txt");
    ASSERT_TRUE(Files::SaveText(levels + "/e.txt", "saved"));

    const struct {
        std::string extension;
        std::vector<std::string> names;
    } cases[] = {
        {"", {"B.TXT", "a.txt", "b.txt", "c.txt.bak", "e.txt", "link.txt", "notes"}},
        {".txt", {"a.txt", "b.txt", "e.txt", "link.txt"}},
        {".TXT", {"B.TXT"}},
        {".lvl", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Files::List(levels, c.extension), c.names) << c.extension;

    // Something else in the folder's place, or in a parent's.
    Write(Path("file"), "x");
    EXPECT_FALSE(Files::MakeFolder(Path("file")));
    EXPECT_FALSE(Files::MakeFolder(Path("file/below")));
    EXPECT_FALSE(Files::MakeFolder(""));
    EXPECT_EQ(Files::List(Path("file")), std::vector<std::string>{});
}

} // namespace
