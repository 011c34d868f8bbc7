#include "bridge/SchemeHandler.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

namespace suite {
namespace {

namespace fs = std::filesystem;
using Headers = std::vector<std::pair<std::string, std::string>>;

void writeFile(const fs::path& file, const std::string& content) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out << content;
}

// A real folder tree:  <tmp>/web (the root), <tmp>/web2 (a sibling sharing the root's name as a
// prefix), <tmp>/outside.txt.
class SchemeHandlerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "suite-scheme-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        base_ = fs::canonical(pattern);
        root_ = base_ / "web";
        writeFile(root_ / "index.html", "<!doctype html><title>Suite</title>");
        writeFile(root_ / "app.js", "export const x = 1;\n");
        writeFile(root_ / "style.css", "body{}");
        writeFile(root_ / "data.json", "{}");
        writeFile(root_ / "icon.svg", "<svg/>");
        writeFile(root_ / "font.woff", "wOFF");
        writeFile(root_ / "font.woff2", "wOF2");
        writeFile(root_ / "notes.txt", "plain");
        writeFile(root_ / "LOGO.PNG", std::string("\x89PNG\r\n\x1a\n", 8));
        writeFile(root_ / "Makefile", "all:");
        writeFile(root_ / "empty.css", "");
        writeFile(root_ / "my page.html", "blank in name");
        writeFile(root_ / "100%.html", "literal percent");
        writeFile(root_ / "sub" / "page.html", "sub page");
        writeFile(root_ / "sub" / "index.html", "sub index");
        fs::create_directories(root_ / "folder.js");
        writeFile(base_ / "web2" / "secret.html", "sibling");
        writeFile(base_ / "outside.txt", "outside");
        handler_ = std::make_unique<SchemeHandler>(root_);
    }

    void TearDown() override {
        std::error_code ec;
        fs::remove_all(base_, ec);
    }

    SchemeResponse get(const std::string& uri) const { return handler_->respond(uri); }

    static void expectNotFound(const SchemeResponse& r) {
        EXPECT_EQ(r.status, 404);
        EXPECT_TRUE(r.headers.empty());
        EXPECT_TRUE(r.body.empty());
    }

    static void expectServed(const SchemeResponse& r, const std::string& body,
                             const std::string& type) {
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(r.body, body);
        Headers expected = {{"Content-Type", type},
                            {"Content-Length", std::to_string(body.size())},
                            {"Cache-Control", "no-store"}};
        EXPECT_EQ(r.headers, expected);
    }

    static constexpr const char* kIndex = "<!doctype html><title>Suite</title>";
    static constexpr const char* kHtml = "text/html; charset=utf-8";
    static constexpr const char* kOctets = "application/octet-stream";

    fs::path base_;
    fs::path root_;
    std::unique_ptr<SchemeHandler> handler_;
};

TEST_F(SchemeHandlerTest, RootServesIndexWithOrWithoutSlash) {
    expectServed(get("suite://app/"), kIndex, kHtml);
    expectServed(get("suite://app"), kIndex, kHtml);
    expectServed(get("suite://app/index.html"), kIndex, kHtml);
}

TEST_F(SchemeHandlerTest, HostIsNotExamined) {
    expectServed(get("suite://other/index.html"), kIndex, kHtml);
    expectServed(get("suite://evil.example:8080/app.js"), "export const x = 1;\n",
                 "text/javascript; charset=utf-8");
    expectServed(get("suite:///index.html"), kIndex, kHtml);
    expectServed(get("suite://user@x/"), kIndex, kHtml);
}

TEST_F(SchemeHandlerTest, HeadersAreExactlyTheThreeInOrder) {
    SchemeResponse r = get("suite://app/style.css");
    ASSERT_EQ(r.headers.size(), 3u);
    EXPECT_EQ(r.headers[0].first, "Content-Type");
    EXPECT_EQ(r.headers[1].first, "Content-Length");
    EXPECT_EQ(r.headers[2].first, "Cache-Control");
    EXPECT_EQ(r.headers[1].second, "6");
    EXPECT_EQ(r.headers[2].second, "no-store");
}

TEST_F(SchemeHandlerTest, ContentTypeTable) {
    expectServed(get("suite://app/app.js"), "export const x = 1;\n",
                 "text/javascript; charset=utf-8");
    expectServed(get("suite://app/style.css"), "body{}", "text/css; charset=utf-8");
    expectServed(get("suite://app/data.json"), "{}", "application/json; charset=utf-8");
    expectServed(get("suite://app/icon.svg"), "<svg/>", "image/svg+xml");
    expectServed(get("suite://app/font.woff"), "wOFF", "font/woff");
    expectServed(get("suite://app/LOGO.PNG"), std::string("\x89PNG\r\n\x1a\n", 8), "image/png");
    expectServed(get("suite://app/font.woff2"), "wOF2", kOctets);
    expectServed(get("suite://app/notes.txt"), "plain", kOctets);
    expectServed(get("suite://app/Makefile"), "all:", kOctets);
}

TEST_F(SchemeHandlerTest, EmptyFileHasLengthZero) {
    SchemeResponse r = get("suite://app/empty.css");
    expectServed(r, "", "text/css; charset=utf-8");
    EXPECT_EQ(r.headers[1].second, "0");
}

TEST_F(SchemeHandlerTest, PercentEncodedBlankReachesTheFile) {
    expectServed(get("suite://app/my%20page.html"), "blank in name", kHtml);
    expectServed(get("suite://app/%69ndex.html"), kIndex, kHtml);
}

TEST_F(SchemeHandlerTest, InvalidEncodingIsUsedUnchanged) {
    expectServed(get("suite://app/100%.html"), "literal percent", kHtml);
}

TEST_F(SchemeHandlerTest, QueryAndFragmentAreIgnored) {
    expectServed(get("suite://app/index.html?v=2"), kIndex, kHtml);
    expectServed(get("suite://app/index.html#top"), kIndex, kHtml);
    expectServed(get("suite://app/app.js?x=1#y"), "export const x = 1;\n",
                 "text/javascript; charset=utf-8");
    expectServed(get("suite://app/?lang=ar"), kIndex, kHtml);
    expectServed(get("suite://app#frag"), kIndex, kHtml);
    expectServed(get("suite://app/sub/page.html#../../outside.txt"), "sub page", kHtml);
}

TEST_F(SchemeHandlerTest, DotDotInsideRootIsServed) {
    expectServed(get("suite://app/sub/../index.html"), kIndex, kHtml);
    expectServed(get("suite://app/sub/./../sub/page.html"), "sub page", kHtml);
    expectServed(get("suite://app/../web/index.html"), kIndex, kHtml);
    expectServed(get("suite://app//sub//page.html"), "sub page", kHtml);
}

TEST_F(SchemeHandlerTest, DotDotLeavingRootIsRefused) {
    expectNotFound(get("suite://app/../outside.txt"));
    expectNotFound(get("suite://app/sub/../../outside.txt"));
    expectNotFound(get("suite://app/%2e%2e/outside.txt"));
    expectNotFound(get("suite://app/..%2foutside.txt"));
    expectNotFound(get("suite://app/../../../../../../../../etc/passwd"));
    expectNotFound(get("suite://app/.."));
    expectNotFound(get("suite://app/../"));
    expectNotFound(get("suite://app/../web"));
}

TEST_F(SchemeHandlerTest, SiblingWithSamePrefixIsRefused) {
    ASSERT_TRUE(fs::exists(base_ / "web2" / "secret.html"));
    expectNotFound(get("suite://app/../web2/secret.html"));
    expectNotFound(get("suite://app/%2E%2E/web2/secret.html"));
    expectNotFound(get("suite://app/sub/../../web2/secret.html"));
}

TEST_F(SchemeHandlerTest, AbsoluteLookingPathStaysUnderRoot) {
    // "//etc/passwd" must not be appended as an absolute path.
    expectNotFound(get("suite://app//etc/passwd"));
    expectNotFound(get("suite://app/%2fetc%2fpasswd"));
}

TEST_F(SchemeHandlerTest, FoldersAreRefused) {
    expectNotFound(get("suite://app/sub"));
    expectNotFound(get("suite://app/sub/"));
    expectNotFound(get("suite://app/folder.js"));
    expectNotFound(get("suite://app/."));
    expectNotFound(get("suite://app/./"));
}

TEST_F(SchemeHandlerTest, MissingIsRefused) {
    expectNotFound(get("suite://app/nope.html"));
    expectNotFound(get("suite://app/INDEX.HTML"));
    fs::create_symlink("gone.html", root_ / "dangling.html");
    expectNotFound(get("suite://app/dangling.html"));
}

TEST_F(SchemeHandlerTest, FileNamedAsFolderIsRefused) {
    expectNotFound(get("suite://app/index.html/"));
    expectNotFound(get("suite://app/sub/page.html/"));
    expectNotFound(get("suite://app/index.html%2F"));
}

TEST_F(SchemeHandlerTest, NulByteIsRefused) {
    expectNotFound(get("suite://app/index.html%00.png"));
    expectNotFound(get("suite://app/index.html%00"));
    expectNotFound(get(std::string("suite://app/index.html\0", 23)));
}

TEST_F(SchemeHandlerTest, NoSchemeIsRefused) {
    expectNotFound(get(""));
    expectNotFound(get("index.html"));
    expectNotFound(get("/index.html"));
    expectNotFound(get(":/index.html"));
}

TEST_F(SchemeHandlerTest, UnreadableFileIsRefused) {
    if (::geteuid() == 0) GTEST_SKIP() << "root reads any file";
    writeFile(root_ / "locked.html", "locked");
    fs::permissions(root_ / "locked.html", fs::perms::none);
    expectNotFound(get("suite://app/locked.html"));
}

TEST_F(SchemeHandlerTest, FifoIsRefusedWithoutBlocking) {
    fs::path fifo = root_ / "pipe.js";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto pending = std::async(std::launch::async, [&] { return get("suite://app/pipe.js"); });
    if (pending.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // Release the blocked reader so that the test can end, then fail.
        int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        if (fd >= 0) ::close(fd);
        pending.wait();
        FAIL() << "reading a FIFO blocked";
    }
    expectNotFound(pending.get());
}

TEST_F(SchemeHandlerTest, DeviceLinkIsRefused) {
    fs::create_symlink("/dev/zero", root_ / "zero.js");
    expectNotFound(get("suite://app/zero.js"));
}

TEST_F(SchemeHandlerTest, LinkedFileInsideRootIsServed) {
    fs::create_symlink("index.html", root_ / "start.html");
    expectServed(get("suite://app/start.html"), kIndex, kHtml);
}

TEST_F(SchemeHandlerTest, RootIsStandardised) {
    SchemeHandler trailing(root_.string() + "/");
    expectServed(trailing.respond("suite://app/"), kIndex, kHtml);
    EXPECT_EQ(trailing.root(), root_);

    SchemeHandler dotted(base_ / "web2" / ".." / "." / "web");
    expectServed(dotted.respond("suite://app/sub/page.html"), "sub page", kHtml);
    expectNotFound(dotted.respond("suite://app/../web2/secret.html"));
    EXPECT_EQ(dotted.root(), root_);
}

TEST_F(SchemeHandlerTest, RelativeRootIsTakenFromTheWorkingFolder) {
    fs::path saved = fs::current_path();
    fs::current_path(base_);
    SchemeHandler relative("web");
    fs::current_path(saved);
    expectServed(relative.respond("suite://app/"), kIndex, kHtml);
    expectNotFound(relative.respond("suite://app/../web2/secret.html"));
}

TEST(SchemeContentType, ByLowerCasedExtension) {
    EXPECT_EQ(contentTypeFor("a/b/index.HTML"), "text/html; charset=utf-8");
    EXPECT_EQ(contentTypeFor("x.Js"), "text/javascript; charset=utf-8");
    EXPECT_EQ(contentTypeFor("x.tar.png"), "image/png");
    EXPECT_EQ(contentTypeFor("x.html.txt"), "application/octet-stream");
    EXPECT_EQ(contentTypeFor("x"), "application/octet-stream");
    EXPECT_EQ(contentTypeFor("x."), "application/octet-stream");
}

class SchemeFindWebRootTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "suite-webroot-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        base_ = fs::canonical(pattern);
        fs::create_directories(base_ / "bin");
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(base_, ec);
    }
    fs::path base_;
};

TEST_F(SchemeFindWebRootTest, BuildTreeFolderComesFirst) {
    writeFile(base_ / "bin" / "web" / "index.html", "build");
    writeFile(base_ / "share" / "talven-suite" / "web" / "index.html", "installed");
    auto found = findWebRoot(base_ / "bin" / "talven-suite");
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, base_ / "bin" / "web");
}

TEST_F(SchemeFindWebRootTest, InstalledLayout) {
    writeFile(base_ / "share" / "talven-suite" / "web" / "index.html", "installed");
    auto found = findWebRoot(base_ / "bin" / "talven-suite");
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, base_ / "share" / "talven-suite" / "web");
}

TEST_F(SchemeFindWebRootTest, FolderWithoutIndexIsSkipped) {
    fs::create_directories(base_ / "bin" / "web");
    writeFile(base_ / "share" / "talven-suite" / "web" / "index.html", "installed");
    auto found = findWebRoot(base_ / "bin" / "talven-suite");
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, base_ / "share" / "talven-suite" / "web");
}

TEST_F(SchemeFindWebRootTest, LinkedBuildFolderIsFollowed) {
    writeFile(base_ / "src" / "web" / "index.html", "sources");
    fs::create_directory_symlink(base_ / "src" / "web", base_ / "bin" / "web");
    auto found = findWebRoot(base_ / "bin" / "talven-suite");
    ASSERT_TRUE(found);
    EXPECT_EQ(*found, base_ / "src" / "web");
}

TEST_F(SchemeFindWebRootTest, NothingWhenNeitherExists) {
    fs::create_directories(base_ / "bin" / "web");
    writeFile(base_ / "bin" / "web" / "index.htm", "wrong name");
    EXPECT_FALSE(findWebRoot(base_ / "bin" / "talven-suite"));
}

}  // namespace
}  // namespace suite
