// SHA-256 of files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "fakes/TempDir.h"
#include "platform/Digest.h"

namespace suite {
namespace {

// Reference digests from an independent implementation (Python's hashlib).
constexpr const char* kEmpty = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
constexpr const char* kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
constexpr const char* kOneMiBPlusOneOfA =
    "4a3f0c0c213adea174f9a3d4c13177315b588bdb2e9c1012d3d0bf0453ca0f6a";

struct Sha256 : ::testing::Test {
    fakes::TempDir dir;
    std::filesystem::path write(const std::string& name, const std::string& content) {
        auto path = dir / name;
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
};

// The references are lower-case, so equality also pins the case of the digits.
TEST_F(Sha256, KnownVectorsAcrossTheChunkBoundaryAndNothingForWhatIsNoFile) {
    EXPECT_EQ(sha256Of(write("empty", "")), kEmpty);  // empty input has a digest too
    EXPECT_EQ(sha256Of(write("abc", "abc")), kAbc);
    EXPECT_EQ(sha256Of(write("over", std::string((1 << 20) + 1, 'a'))), kOneMiBPlusOneOfA);
    // Nothing for what is not a readable file.
    EXPECT_EQ(sha256Of(dir / "missing"), std::nullopt);
    EXPECT_EQ(sha256Of(dir.path()), std::nullopt);
    // A FIFO would block a plain reader for ever; it must come back at once with nothing.
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    EXPECT_EQ(sha256Of(dir / "fifo"), std::nullopt);
}

}  // namespace
}  // namespace suite
