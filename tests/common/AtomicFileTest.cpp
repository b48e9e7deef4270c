#include "common/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <stdexcept>

#include <filesystem>

#include "TestUtil.h"

namespace kinovela {
namespace {

using test::ReadFile;
using test::TempDir;

std::size_t EntryCount(const std::filesystem::path& dir)
{
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir)) ++n;
    return n;
}

TEST(AtomicFile, WritesAndReplaces)
{
    TempDir dir;
    const std::string path = dir.File("scene.kvl");
    ASSERT_TRUE(WriteFileAtomically(path, "first").ok);
    EXPECT_EQ(ReadFile(path), "first");
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(WriteFileAtomically(path, std::string(3u << 20, 'z')).ok);
    EXPECT_EQ(ReadFile(path).size(), 3u << 20);
    struct stat st{};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u) << "an existing file keeps its permissions";
    EXPECT_EQ(EntryCount(dir.Path()), 1u) << "no temporary file is left behind";
}

TEST(AtomicFile, FullDiskIsReportedAndLeavesNoFile)
{
    // A device target is written in place; /dev/full fails every write.
    WriteResult r = WriteFileAtomically("/dev/full", "data");
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("No space left"), std::string::npos) << r.error;

    TempDir dir;
    const std::filesystem::path link = dir.Path() / "full.kvl";
    std::filesystem::create_symlink("/dev/full", link);
    r = WriteFileAtomically(link.string(), "data");
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(EntryCount(dir.Path()), 1u);
}

// A write that fails half way (here: the file-size limit) leaves the old
// file exactly as it was and no temporary file behind.
TEST(AtomicFile, AFailedReplaceKeepsTheOldFile)
{
    TempDir dir;
    const std::string path = dir.File("scene.kvl");
    ASSERT_TRUE(WriteFileAtomically(path, "old contents").ok);

    struct rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const WriteResult r = WriteFileAtomically(path, std::string(1u << 20, 'n'));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.error.find("File too large"), std::string::npos) << r.error;
    EXPECT_EQ(ReadFile(path), "old contents");
    EXPECT_EQ(EntryCount(dir.Path()), 1u);
}

TEST(AtomicFile, SavingThroughALinkKeepsTheLink)
{
    TempDir dir;
    const std::string real = dir.File("real.kvl");
    ASSERT_TRUE(WriteFileAtomically(real, "one").ok);
    const std::filesystem::path link = dir.Path() / "link.kvl";
    std::filesystem::create_symlink(real, link);
    ASSERT_TRUE(WriteFileAtomically(link.string(), "two").ok);
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFile(real), "two");

    // A long file name still leaves room for the temporary file's name.
    const std::string longName = dir.File(std::string(250, 'n') + ".kvl");
    EXPECT_TRUE(WriteFileAtomically(longName, "x").ok);
}

TEST(AtomicFile, ProducerExceptionsLeaveNothingBehind)
{
    TempDir dir;
    EXPECT_THROW(WriteFileAtomically(
                     dir.File("x.kvl"), [](ByteSink&) { throw std::runtime_error("boom"); }, 0),
                 std::runtime_error);
    EXPECT_EQ(EntryCount(dir.Path()), 0u);
}

TEST(AtomicFile, MissingFolderOrFolderTargetFails)
{
    TempDir dir;
    WriteResult r = WriteFileAtomically(dir.File("no/such/dir/x.kvl"), "data");
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.error.empty());
    r = WriteFileAtomically(dir.Path().string(), "data");
    EXPECT_FALSE(r.ok);
}

TEST(AtomicFile, ReadWholeFile)
{
    TempDir dir;
    std::string data, error;
    EXPECT_FALSE(ReadWholeFile(dir.File("missing"), data, error));
    EXPECT_NE(error.find("missing"), std::string::npos);
    EXPECT_FALSE(ReadWholeFile(dir.Path().string(), data, error));
    EXPECT_FALSE(ReadWholeFile("/dev/zero", data, error)) << "a device is not read without end";
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    FileContents contents;
    EXPECT_FALSE(contents.Open(fifo, error)) << "a FIFO is refused, not waited on";
    test::WriteFile(dir.File("a"), "abc");
    ASSERT_TRUE(ReadWholeFile(dir.File("a"), data, error));
    EXPECT_EQ(data, "abc");
}

}  // namespace
}  // namespace kinovela

namespace kinovela {
namespace {

TEST(Progress, ThrottleReportsABoundedNumberOfTimesAndEnds)
{
    int calls = 0;
    std::uint64_t last = 0, lastTotal = 0;
    const ProgressFn fn = [&](std::uint64_t done, std::uint64_t total) {
        ++calls;
        EXPECT_GE(done, last);
        last = done;
        lastTotal = total;
    };
    ProgressThrottle t(fn, 1'000'000);
    for (std::uint64_t i = 0; i <= 1'000'000; ++i) t.Report(i);
    t.Finish();
    EXPECT_LE(calls, 130);
    EXPECT_GE(calls, 100);
    EXPECT_EQ(last, 1'000'000u);
    EXPECT_EQ(lastTotal, 1'000'000u);

    // Writes report through the same throttle, ending at the full size.
    test::TempDir dir;
    calls = 0;
    last = 0;
    ASSERT_TRUE(WriteFileAtomically(dir.File("p.bin"), std::string(5u << 20, 'p'), fn).ok);
    EXPECT_GE(calls, 1);
    EXPECT_EQ(last, 5u << 20);
}

}  // namespace
}  // namespace kinovela
