// Writing a whole file through a temporary file beside it: the target is replaced only by a
// complete file, a failure keeps the earlier file and leaves no temporary file behind.
#include "base/file_io.h"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace base {
namespace {

namespace fs = std::filesystem;

class FileIo : public ::testing::Test {
protected:
    FileIo() {
        char name[] = "/tmp/file_io_test.XXXXXX";
        dir_ = ::mkdtemp(name);
    }
    ~FileIo() override {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Everything in the folder: a failed write must not leave its temporary file.
    size_t Entries() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {}));
    }

    fs::path dir_;
};

TEST_F(FileIo, WritesNewFilesAndReplacesOldOnesKeepingTheirRights) {
    for (const std::string name :
         {"plain.csv", "with spaces.png", "gr\xC3\xBCn \xE2\x82\xAC", "no extension"}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(WriteFileReplacing(Path(name), "first"), "");
        EXPECT_EQ(Contents(Path(name)), "first");
    }
    const std::string path = Path("plain.csv");
    ::chmod(path.c_str(), 0640);
    ASSERT_EQ(WriteFileReplacing(path, std::string(1 << 20, 'x')), "");
    EXPECT_EQ(Contents(path).size(), 1u << 20);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(Entries(), 4u);
}

TEST_F(FileIo, LinksAreWrittenThroughAndDanglingOnesRefused) {
    const std::string real = Path("real.pdf");
    ASSERT_EQ(WriteFileReplacing(real, "old"), "");
    fs::create_symlink(real, Path("link.pdf"));
    ASSERT_EQ(WriteFileReplacing(Path("link.pdf"), "new"), "");
    EXPECT_TRUE(fs::is_symlink(Path("link.pdf")));
    EXPECT_EQ(Contents(real), "new");

    fs::create_symlink(Path("gone.pdf"), Path("dangling.pdf"));
    EXPECT_EQ(WriteFileReplacing(Path("dangling.pdf"), "x"),
              "it is a link to a file that does not exist");
    EXPECT_FALSE(fs::exists(Path("gone.pdf")));
    EXPECT_EQ(Entries(), 3u);
}

TEST_F(FileIo, FailuresKeepTheEarlierFileAndLeaveNothingBehind) {
    fs::create_directory(Path("folder"));
    ASSERT_EQ(WriteFileReplacing(Path("regular"), "kept"), "");
    const struct {
        const char* what;
        std::string path;
        std::string reason;
    } cases[] = {
        {"a folder", Path("folder"), "it is a folder"},
        // The parent is a regular file: refused whoever runs the test, root included.
        {"parent is a file", Path("regular") + "/out.png", "Not a directory"},
        {"no such folder", Path("missing") + "/out.png", "No such file or directory"},
        {"no name", "", "no file name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(WriteFileReplacing(c.path, "lost"), c.reason);
    }
    EXPECT_EQ(Contents(Path("regular")), "kept");
    EXPECT_TRUE(fs::is_empty(Path("folder")));
    EXPECT_EQ(Entries(), 2u);
}

TEST_F(FileIo, ReadOnlyFolderRefusesAndKeepsTheFile) {
    const std::string path = Path("chart.tchart");
    ASSERT_EQ(WriteFileReplacing(path, "kept"), "");
    ::chmod(dir_.c_str(), 0555);
    if (::geteuid() == 0) {
        GTEST_SKIP() << "running as root: folder permissions do not stop writes (the failure "
                        "path is covered by a parent that is a regular file)";
    }
    EXPECT_EQ(WriteFileReplacing(path, "lost"), "Permission denied");
    EXPECT_EQ(Contents(path), "kept");
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(FileIo, AWriteThatFailsHalfWayKeepsTheOldFile) {
    const std::string path = Path("sweep.csv");
    ASSERT_EQ(WriteFileReplacing(path, "kept"), "");
    // A file size limit stops the write part-way, as a full disk does, whoever runs the test.
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit{};
    ::getrlimit(RLIMIT_FSIZE, &old_limit);
    rlimit small = old_limit;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string error = WriteFileReplacing(path, std::string(1 << 20, 'x'));
    ::setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
    EXPECT_EQ(error, "File too large");
    EXPECT_EQ(Contents(path), "kept");
    EXPECT_EQ(Entries(), 1u);
}

TEST_F(FileIo, ReadsWholeFilesWithinTheLimit) {
    const std::string path = Path("data");
    ASSERT_EQ(WriteFileReplacing(path, std::string(3000, 'a')), "");
    std::string bytes;
    EXPECT_EQ(ReadWholeFile(path, 4096, bytes), "");
    EXPECT_EQ(bytes.size(), 3000u);
    EXPECT_EQ(ReadWholeFile(path, 2048, bytes), "it is larger than 2048 bytes");
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(ReadWholeFile(Path("absent"), 4096, bytes), "No such file or directory");
    EXPECT_EQ(ReadWholeFile(dir_.string(), 4096, bytes), "it is a folder");
}

} // namespace
} // namespace base
