// Detection on the macOS rules, against application folders and a stand-in pkgutil written here.
// Ordinary bundles are read by the scan, install and hand-off tests too; here the odd ones.
#include <plist/plist.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "backends/macos/Detect.h"
#include "fakes/TempDir.h"
#include "fakes/TestFiles.h"

namespace suite {
namespace {

namespace fs = std::filesystem;

// A binary property list of one dictionary.
std::string binaryDict(std::initializer_list<std::pair<const char*, plist_t>> entries) {
    plist_t root = plist_new_dict();
    for (const auto& [key, value] : entries) plist_dict_set_item(root, key, value);
    char* bytes = nullptr;
    uint32_t length = 0;
    plist_to_bin(root, &bytes, &length);
    std::string out(bytes, length);
    std::free(bytes);
    plist_free(root);
    return out;
}

std::string xmlVersion(const std::string& version, const std::string& rest = "") {
    return "<plist version=\"1.0\"><dict><key>CFBundleShortVersionString</key><string>" + version +
           "</string>" + rest + "</dict></plist>";
}

void writeFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

class DetectTest : public ::testing::Test {
  protected:
    DetectTest() {
        writeFile(dir / "known.plist", binaryDict({{"pkg-version", plist_new_string("2.4.1")}}));
        // Answers as the system's tool does for a few identifiers and records each one asked.
        fakes::writeScript(pkgutil, "D='" + dir.path().string() + R"('
printf '%s\n' "$2" >> "$D/calls"
[ "$1" = --pkg-info-plist ] && [ $# -eq 2 ] || exit 64
case "$2" in
  com.brenlow.known|-*) cat "$D/known.plist" ;;
  com.brenlow.failing) cat "$D/known.plist"; exit 2 ;;
  com.brenlow.garbage) echo 'garbage <dict>' ;;
  com.brenlow.huge) head -c 50000000 /dev/zero ;;
  com.brenlow.slow) sleep 30 ;;
  *) echo "No receipt for '$2' found at '/'." >&2; exit 1 ;;
esac
)");
        paths = {{system.string(), user.string()}, pkgutil.string(), 20};
    }
    void writeInfo(const fs::path& folder, const std::string& bundle, const std::string& content) {
        writeFile(folder / bundle / "Contents" / "Info.plist", content);
    }
    std::vector<std::string> calls() const {
        std::vector<std::string> out;
        std::ifstream in(dir / "calls");
        for (std::string line; std::getline(in, line);) out.push_back(line);
        fs::remove(dir / "calls");
        return out;
    }

    fakes::TempDir dir;
    fs::path system = dir / "Applications";
    fs::path user = dir / "home" / "Applications";
    fs::path pkgutil = dir / "pkgutil";
    DetectPaths paths;
};

// The bundle version stands in for a short version that is missing, not text, or not UTF-8.
TEST_F(DetectTest, BundleVersionWhenTheShortOneIsNoText) {
    writeInfo(system, "OnlyBuild.app", binaryDict({{"CFBundleVersion", plist_new_string("77")}}));
    writeInfo(system, "NumericShort.app",
              binaryDict({{"CFBundleShortVersionString", plist_new_real(3.2)},
                          {"CFBundleVersion", plist_new_string("3.2.1")}}));
    writeInfo(system, "Latin1.app",
              xmlVersion("1.0\xe9", "<key>CFBundleVersion</key><string>100</string>"));
    EXPECT_EQ(Detect::bundleVersion("OnlyBuild.app", paths), "77");
    EXPECT_EQ(Detect::bundleVersion("NumericShort.app", paths), "3.2.1");
    EXPECT_EQ(Detect::bundleVersion("Latin1.app", paths), "100");
}

// Lists too big or too deep are refused before the reader sees them, and the next folder is asked
// instead; names that would leave the application folders are looked up nowhere.
TEST_F(DetectTest, FirstFolderWinsUnlessItsBundleHasNoUsableVersion) {
    writeInfo(system, "Both.app", xmlVersion("1.0"));
    writeInfo(user, "Both.app", xmlVersion("2.0"));
    EXPECT_EQ(Detect::bundleVersion("Both.app", paths), "1.0");

    std::string deep = "<key>x</key>";
    // Closing tags where the reader does not look for them.
    for (int i = 0; i < 200000; ++i) deep += "<array><!--</array>-->";
    for (int i = 0; i < 200000; ++i) deep += "</array>";
    const std::pair<std::string, std::string> unusable[] = {
        {"Garbage.app", "not a property list"},
        {"ArrayRoot.app", "<plist version=\"1.0\"><array/></plist>"},
        {"Big.app", xmlVersion("1.0") + std::string(9u << 20, ' ')},
        {"CommentedDeep.app", xmlVersion("1.0", deep)},
    };
    for (const auto& [name, content] : unusable) {
        writeInfo(system, name, content);
        writeInfo(user, name, xmlVersion("9.9"));
        EXPECT_EQ(Detect::bundleVersion(name, paths), "9.9") << name;
    }

    writeInfo(dir.path(), "Outside.app", xmlVersion("6.6.6"));
    writeInfo(system / "Sub", "Inner.app", xmlVersion("5.5"));
    for (const std::string& name :
         std::vector<std::string>{"../Outside.app", "Sub/Inner.app", "..", {"..\0x", 4}}) {
        EXPECT_EQ(Detect::bundleVersion(name, paths), std::nullopt) << name;
        EXPECT_EQ(Detect::appPath(name, paths), std::nullopt) << name;
    }
}

TEST_F(DetectTest, ReceiptVersionAsksThePackageUtilityWithinLimits) {
    EXPECT_EQ(Detect::receiptVersion("com.brenlow.known", paths), "2.4.1");
    for (const char* id : {"com.brenlow.unknown", "com.brenlow.garbage", "com.brenlow.failing"})
        EXPECT_EQ(Detect::receiptVersion(id, paths), std::nullopt) << id;
    calls();
    // An identifier that looks like an option is never handed over.
    EXPECT_EQ(Detect::receiptVersion("-v", paths), std::nullopt);
    EXPECT_TRUE(calls().empty());

    paths.receiptTimeoutSeconds = 0.5;
    for (const char* id : {"com.brenlow.huge", "com.brenlow.slow"})
        EXPECT_EQ(Detect::receiptVersion(id, paths), std::nullopt) << id;
}

}  // namespace
}  // namespace suite
