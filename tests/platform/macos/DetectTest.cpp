#include <plist/plist.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <thread>

#include "fakes/TempDir.h"
#include "platform/macos/Detect.h"

namespace suite {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

enum class Format { Xml, Binary };

plist_t dict(std::initializer_list<std::pair<const char*, plist_t>> entries) {
    plist_t out = plist_new_dict();
    for (const auto& [key, value] : entries) plist_dict_set_item(out, key, value);
    return out;
}

plist_t shortVersion(const char* version) {
    return dict({{"CFBundleShortVersionString", plist_new_string(version)}});
}

// Serializes and frees `root`.
std::string serialize(plist_t root, Format format = Format::Xml) {
    char* bytes = nullptr;
    uint32_t length = 0;
    (format == Format::Xml ? plist_to_xml : plist_to_bin)(root, &bytes, &length);
    std::string out(bytes, length);
    std::free(bytes);
    plist_free(root);
    return out;
}

void writeFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

void writeInfo(const fs::path& folder, const std::string& bundle, const std::string& content) {
    writeFile(folder / bundle / "Contents" / "Info.plist", content);
}

// Binary lists written by hand, for shapes no writer produces: {"CFBundleShortVersionString":
// "1.0", "x": object 4}, then `payload` from object 4 on. References are 4 bytes wide.
std::string binaryWithPayload(const std::vector<std::vector<uint64_t>>& arrays,
                              const std::string& last) {
    auto be = [](uint64_t value, int width) {
        std::string out;
        for (int k = width - 1; k >= 0; --k) out.push_back(char((value >> (8 * k)) & 0xff));
        return out;
    };
    auto marker = [&](unsigned kind, std::size_t n) {
        return n < 15 ? std::string(1, char((kind << 4) | n))
                      : std::string(1, char((kind << 4) | 15)) + "\x12" + be(n, 4);
    };
    auto ascii = [&](const std::string& s) { return marker(0x5, s.size()) + s; };
    std::vector<std::string> objects = {marker(0xD, 2) + be(1, 4) + be(3, 4) + be(2, 4) + be(4, 4),
                                        ascii("CFBundleShortVersionString"), ascii("1.0"),
                                        ascii("x")};
    for (const auto& refs : arrays) {
        objects.push_back(marker(0xA, refs.size()));
        for (auto ref : refs) objects.back() += be(ref, 4);
    }
    objects.push_back(ascii(last));
    std::string out = "bplist00";
    std::string table;
    for (const auto& object : objects) table += be(out.size(), 8), out += object;
    uint64_t tableAt = out.size();
    return out + table + std::string(6, '\0') + "\x08\x04" + be(objects.size(), 8) + be(0, 8) +
           be(tableAt, 8);
}

// Runs `body` in a child process, so that a crash or a hang fails this test only.
std::string inChild(const std::function<bool()>& body) {
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(body() ? 0 : 1);
    auto deadline = std::chrono::steady_clock::now() + 30s;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return "timeout";
        }
        std::this_thread::sleep_for(10ms);
    }
    return WIFEXITED(status) ? "exit " + std::to_string(WEXITSTATUS(status)) : "crash";
}

class DetectTest : public ::testing::Test {
  protected:
    DetectTest() {
        writeFile(dir / "known.plist",
                  serialize(dict({{"pkg-version", plist_new_string("2.4.1")}})));
        writeFile(dir / "binary.plist",
                  serialize(dict({{"pkg-version", plist_new_string("7.0b3")}}), Format::Binary));
        writeFile(dir / "number.plist", serialize(dict({{"pkg-version", plist_new_uint(3)}})));
        writeFile(dir / "array.plist", serialize(plist_new_array()));
        // Answers as the system's tool does for a few identifiers and records each one asked.
        writeFile(pkgutil, "#!/bin/sh\nD='" + dir.path().string() + R"('
printf '%s\n' "$2" >> "$D/calls"
[ "$1" = --pkg-info-plist ] && [ $# -eq 2 ] || exit 64
case "$2" in
  com.brenlow.known|-*) cat "$D/known.plist" ;;
  com.brenlow.failing) cat "$D/known.plist"; exit 2 ;;
  com.brenlow.garbage) echo 'garbage <dict>' ;;
  com.brenlow.huge) head -c 50000000 /dev/zero ;;
  com.brenlow.padded) cat "$D/known.plist"; head -c 9000000 /dev/zero | tr '\0' ' ' ;;
  com.brenlow.slow) sleep 30 ;;
  com.brenlow.*) cat "$D/${2#com.brenlow.}.plist" ;;
  *) echo "No receipt for '$2' found at '/'." >&2; exit 1 ;;
esac
)");
        fs::permissions(pkgutil, fs::perms::owner_all);
        paths = {{system.string(), user.string()}, pkgutil.string(), 20};
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

TEST_F(DetectTest, ShortVersionThenBundleVersionFromEitherFormat) {
    struct Case {
        const char* name;
        plist_t info;
        std::optional<std::string> expected;
    };
    std::vector<Case> cases = {
        {"Both.app",
         dict({{"CFBundleShortVersionString", plist_new_string("3.2")},
               {"CFBundleVersion", plist_new_string("3200")}}),
         "3.2"},
        {"OnlyBuild.app", dict({{"CFBundleVersion", plist_new_string("77")}}), "77"},
        {"NumericShort.app",
         dict({{"CFBundleShortVersionString", plist_new_real(3.2)},
               {"CFBundleVersion", plist_new_string("3.2.1")}}),
         "3.2.1"},
        {"EmptyShort.app",
         dict({{"CFBundleShortVersionString", plist_new_string("")},
               {"CFBundleVersion", plist_new_string("5")}}),
         ""},
    };
    for (auto format : {Format::Xml, Format::Binary})
        for (auto& c : cases) {
            writeInfo(system, c.name, serialize(plist_copy(c.info), format));
            EXPECT_EQ(Detect::bundleVersion(c.name, paths), c.expected) << c.name;
        }
    for (auto& c : cases) plist_free(c.info);

    // Bytes that are not UTF-8 are no version; they could not reach the page either.
    writeInfo(system, "Latin1.app",
              "<plist version=\"1.0\"><dict><key>CFBundleShortVersionString</key>"
              "<string>1.0\xe9</string><key>CFBundleVersion</key><string>100</string></dict>"
              "</plist>");
    EXPECT_EQ(Detect::bundleVersion("Latin1.app", paths), "100");
}

TEST_F(DetectTest, FirstFolderWinsUnlessItsBundleHasNoUsableVersion) {
    writeInfo(system, "Both.app", serialize(shortVersion("1.0")));
    writeInfo(user, "Both.app", serialize(shortVersion("2.0"), Format::Binary));
    EXPECT_EQ(Detect::bundleVersion("Both.app", paths), "1.0");

    std::vector<std::pair<std::string, std::string>> unusable = {
        {"NoKey.app", serialize(dict({{"CFBundleName", plist_new_string("x")}}), Format::Binary)},
        {"Garbage.app", "not a property list"},
        {"ArrayRoot.app", serialize(plist_new_array())},
        {"Big.app", serialize(shortVersion("1.0")) + std::string(9u << 20, ' ')},
    };
    fs::create_directories(system / "Folder.app" / "Contents" / "Info.plist");
    unusable.push_back({"Folder.app", ""});
    for (const auto& [name, content] : unusable) {
        if (name != "Folder.app") writeInfo(system, name, content);
        writeInfo(user, name, serialize(shortVersion("9.9")));
        EXPECT_EQ(Detect::bundleVersion(name, paths), "9.9") << name;
    }
}

TEST_F(DetectTest, HostileListsAreRefusedWithoutCrashingOrHanging) {
    // Version "1.0" followed by `repeat` copies of `unit`, then `closers` closing tags.
    auto xml = [](const std::string& unit, int repeat, int closers, const std::string& tail = "") {
        std::string out =
            "<plist version=\"1.0\"><dict><key>CFBundleShortVersionString</key>"
            "<string>1.0</string>";
        if (repeat > 0) out += "<key>x</key>";
        for (int i = 0; i < repeat; ++i) out += unit;
        for (int i = 0; i < closers; ++i) out += "</array>";
        return out + tail + "</dict></plist>";
    };
    // Closing tags where the reader does not look for them: in comments, processing
    // instructions and character data.
    writeInfo(system, "CommentedDeep.app", xml("<array><!--</array>-->", 200000, 200000));
    writeInfo(system, "HiddenClosers.app",
              xml("<array><?x </array>?><string><![CDATA[</array>]]></string>", 300, 300));
    // A month the date reader has no entry for.
    writeInfo(system, "BadDate.app",
              xml("", 0, 0, "<key>d</key><date>2024-00-10T08:00:00Z</date>"));
    std::vector<std::vector<uint64_t>> chain, doubling;
    for (uint64_t i = 4; i < 150004; ++i) chain.push_back({i + 1});
    for (uint64_t i = 4; i < 64; ++i) doubling.push_back({i + 1, i + 1});  // 2^60 once expanded
    writeInfo(system, "DeepBinary.app", binaryWithPayload(chain, "leaf"));
    writeInfo(system, "Expanding.app", binaryWithPayload(doubling, "leaf"));

    for (const char* name : {"CommentedDeep.app", "HiddenClosers.app", "BadDate.app",
                             "DeepBinary.app", "Expanding.app"}) {
        writeInfo(user, name, serialize(shortVersion("fallback")));
        EXPECT_EQ(inChild([&] { return Detect::bundleVersion(name, paths) == "fallback"; }),
                  "exit 0")
            << name;
    }
    // Nesting and width within reason still read.
    plist_t types = plist_new_array();
    for (int i = 0; i < 3000; ++i) plist_array_append_item(types, shortVersion("x"));
    plist_t nested = plist_new_string("deep");
    for (int i = 0; i < 40; ++i) nested = dict({{"inner", nested}});
    writeInfo(system, "Wide.app",
              serialize(dict({{"Types", types},
                              {"Nested", nested},
                              {"CFBundleShortVersionString", plist_new_string("6.1")}}),
                        Format::Binary));
    EXPECT_EQ(Detect::bundleVersion("Wide.app", paths), "6.1");
    writeInfo(
        system, "Annotated.app",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST"
        " 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n" +
            xml("<array><!-- a note --><string><![CDATA[</array>]]></string>", 200, 200,
                "<key>d</key><date> 2024-02-29T23:59:60Z </date><key>e</key><date/>"));
    EXPECT_EQ(Detect::bundleVersion("Annotated.app", paths), "1.0");
}

TEST_F(DetectTest, NamesThatWouldLeaveTheApplicationFoldersAreLookedUpNowhere) {
    writeInfo(dir.path(), "Outside.app", serialize(shortVersion("6.6.6")));
    writeInfo(system / "Sub", "Inner.app", serialize(shortVersion("5.5")));
    DetectPaths parent = paths;
    parent.appDirs = {dir.path().string()};
    ASSERT_EQ(Detect::bundleVersion("Outside.app", parent), "6.6.6");  // the fixture is sound
    for (const std::string& name : std::vector<std::string>{
             "../Outside.app", "Sub/Inner.app", "/Outside.app", "..", ".", "", {"..\0x", 4}}) {
        EXPECT_EQ(Detect::bundleVersion(name, paths), std::nullopt) << name;
        EXPECT_EQ(Detect::appPath(name, paths), std::nullopt) << name;
    }
}

TEST_F(DetectTest, AppPathFindsFilesAndFoldersInFolderOrder) {
    fs::create_directories(system / "Folder.app");
    fs::create_directories(user / "Folder.app");
    writeFile(user / "File.app", "just a file");
    EXPECT_EQ(Detect::appPath("Folder.app", paths), (system / "Folder.app").string());
    EXPECT_EQ(Detect::appPath("File.app", paths), (user / "File.app").string());
    EXPECT_EQ(Detect::appPath("Missing.app", paths), std::nullopt);
}

TEST_F(DetectTest, ReceiptVersionAsksThePackageUtility) {
    EXPECT_EQ(Detect::receiptVersion("com.brenlow.known", paths), "2.4.1");
    EXPECT_EQ(Detect::receiptVersion("com.brenlow.binary", paths), "7.0b3");
    for (const char* id : {"com.brenlow.unknown", "com.brenlow.garbage", "com.brenlow.array",
                           "com.brenlow.number", "com.brenlow.failing"})
        EXPECT_EQ(Detect::receiptVersion(id, paths), std::nullopt) << id;
    calls();
    // An identifier that looks like an option is never handed over.
    EXPECT_EQ(Detect::receiptVersion("-v", paths), std::nullopt);
    EXPECT_EQ(Detect::receiptVersion("", paths), std::nullopt);
    EXPECT_TRUE(calls().empty());

    paths.receiptTimeoutSeconds = 0.5;
    auto start = std::chrono::steady_clock::now();
    for (const char* id : {"com.brenlow.huge", "com.brenlow.padded", "com.brenlow.slow"})
        EXPECT_EQ(Detect::receiptVersion(id, paths), std::nullopt) << id;
    EXPECT_LT(std::chrono::steady_clock::now() - start, 15s);

    fs::permissions(pkgutil, fs::perms::owner_read);
    EXPECT_EQ(Detect::receiptVersion("com.brenlow.known", paths), std::nullopt);
    paths.pkgutil = (dir / "missing").string();
    EXPECT_EQ(Detect::receiptVersion("com.brenlow.known", paths), std::nullopt);
}

TEST_F(DetectTest, VersionUsesAppsWhenListedAndReceiptsOtherwise) {
    writeInfo(system, "First.app", serialize(shortVersion("1.1")));
    writeInfo(user, "Second.app", serialize(shortVersion("2.2")));
    writeInfo(system, "Blank.app", serialize(shortVersion("")));
    const std::string known = "com.brenlow.known";
    // `asked`: what the package utility was asked, in order.
    struct Case {
        Json detect;
        std::optional<std::string> expected;
        std::vector<std::string> asked;
    };
    std::vector<Case> cases = {
        {{{"apps", {"Missing.app", "Second.app", "First.app"}}}, "2.2", {}},
        {{{"apps", {"Blank.app", "First.app"}}}, "", {}},
        {{{"apps", {"Missing.app"}}, {"receipts", {known}}}, std::nullopt, {}},
        {{{"apps", Json::array()}, {"receipts", {known}}}, "2.4.1", {known}},
        {{{"apps", "First.app"}, {"receipts", {known}}}, "2.4.1", {known}},
        {{{"apps", {"First.app", 3}}, {"receipts", {known}}}, "2.4.1", {known}},
        {{{"receipts", {"other", "com.brenlow.binary", known}}},
         "7.0b3",
         {"other", "com.brenlow.binary"}},
        {{{"receipts", {known, 7}}}, std::nullopt, {}},
        {Json::object(), std::nullopt, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Detect::version("app", c.detect, paths), c.expected) << c.detect;
        EXPECT_EQ(calls(), c.asked) << c.detect;
    }
}

}  // namespace
}  // namespace suite
