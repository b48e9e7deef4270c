#include "common/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

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
