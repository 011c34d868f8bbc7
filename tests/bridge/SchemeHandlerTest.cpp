#include "bridge/SchemeHandler.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "fakes/TempDir.h"

namespace suite {
namespace {

namespace fs = std::filesystem;
using Headers = std::vector<std::pair<std::string, std::string>>;

void writeFile(const fs::path& file, const std::string& content) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
}

constexpr const char* kIndex = "<!doctype html><title>Suite</title>";
constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kJs = "text/javascript; charset=utf-8";
constexpr const char* kCss = "text/css; charset=utf-8";
constexpr const char* kOctets = "application/octet-stream";
const std::string kPng("\x89PNG\r\n\x1a\n", 8);

void expectNotFound(const SchemeResponse& r, const std::string& uri = "") {
    EXPECT_EQ(r.status, 404) << uri;
    EXPECT_TRUE(r.headers.empty()) << uri;
    EXPECT_TRUE(r.body.empty()) << uri;
}

void expectServed(const SchemeResponse& r, const std::string& body, const std::string& type,
                  const std::string& uri = "") {
    EXPECT_EQ(r.status, 200) << uri;
    EXPECT_EQ(r.body, body) << uri;
    Headers expected = {{"Content-Type", type},
                        {"Content-Length", std::to_string(body.size())},
                        {"Cache-Control", "no-store"}};
    EXPECT_EQ(r.headers, expected) << uri;
}

// <tmp>/web is the root; <tmp>/web2 is a sibling sharing its name as a prefix.
class SchemeHandlerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        base_ = fs::canonical(dir_.path());
        root_ = base_ / "web";
        for (auto [name, body] :
             std::vector<std::pair<std::string, std::string>>{{"index.html", kIndex},
                                                              {"app.js", "export const x = 1;\n"},
                                                              {"style.css", "body{}"},
                                                              {"LOGO.PNG", kPng},
                                                              {"Makefile", "all:"},
                                                              {"empty.css", ""},
                                                              {"my page.html", "blank in name"},
                                                              {"100%.html", "literal percent"},
                                                              {"sub/page.html", "sub page"}})
            writeFile(root_ / name, body);
        fs::create_directories(root_ / "folder.js");
        writeFile(base_ / "web2" / "secret.html", "sibling");
        writeFile(base_ / "outside.txt", "outside");
        handler_ = std::make_unique<SchemeHandler>(root_);
    }
    SchemeResponse get(const std::string& uri) const { return handler_->respond(uri); }

    fakes::TempDir dir_;
    fs::path base_, root_;
    std::unique_ptr<SchemeHandler> handler_;
};

TEST_F(SchemeHandlerTest, ServesFilesWithTypeLengthAndNoStore) {
    struct Case {
        const char* uri;
        std::string body;
        const char* type;
    };
    // Types for the kinds of file the page ships, matched without regard to case; anything else
    // is plain bytes the engine will not run.
    const Case cases[] = {
        {"suite://app/", kIndex, kHtml},
        {"suite://other/index.html", kIndex, kHtml},  // host is not examined
        {"suite://evil.example:8080/app.js", "export const x = 1;\n", kJs},
        {"suite://app/style.css", "body{}", kCss},
        {"suite://app/LOGO.PNG", kPng, "image/png"},
        {"suite://app/Makefile", "all:", kOctets},
        {"suite://app/empty.css", "", kCss},
        {"suite://app/my%20page.html", "blank in name", kHtml},
        {"suite://app/%69ndex.html", kIndex, kHtml},
        {"suite://app/100%.html", "literal percent", kHtml},  // invalid escape kept as is
        {"suite://app/app.js?x=1#y", "export const x = 1;\n", kJs},
        {"suite://app#frag", kIndex, kHtml},
        {"suite://app/sub/page.html#../../outside.txt", "sub page", kHtml},
        {"suite://app/sub/../index.html", kIndex, kHtml},
        {"suite://app/../web/index.html", kIndex, kHtml},
        {"suite://app//sub//page.html", "sub page", kHtml},
    };
    for (const Case& c : cases) expectServed(get(c.uri), c.body, c.type, c.uri);
}

TEST_F(SchemeHandlerTest, RefusesEscapesFoldersMissingAndMalformed) {
    for (const std::string& uri : std::vector<std::string>{
             "suite://app/../outside.txt", "suite://app/sub/../../outside.txt",
             "suite://app/%2e%2e/outside.txt", "suite://app/..%2foutside.txt", "suite://app/..",
             "suite://app/../../../../../../../../etc/passwd", "suite://app/../web",
             // sibling folder whose name starts with the root's name
             "suite://app/../web2/secret.html", "suite://app/%2E%2E/web2/secret.html",
             "suite://app/sub/../../web2/secret.html",
             // absolute-looking paths stay under the root
             "suite://app//etc/passwd", "suite://app/%2fetc%2fpasswd", "suite://app/sub/",
             "suite://app/folder.js", "suite://app/./", "suite://app/nope.html",
             "suite://app/INDEX.HTML", "suite://app/index.html/", "suite://app/index.html%2F",
             "suite://app/index.html%00.png", "suite://app/index.html%00",
             std::string("suite://app/index.html\0", 23), "", "index.html", "/index.html",
             ":/index.html"})
        expectNotFound(get(uri), uri);
}

TEST_F(SchemeHandlerTest, LinksAreFollowedOnlyToReadableFiles) {
    fs::create_symlink("index.html", root_ / "start.html");
    fs::create_symlink("gone.html", root_ / "dangling.html");
    fs::create_symlink("/dev/zero", root_ / "zero.js");
    writeFile(root_ / "locked.html", "locked");
    fs::permissions(root_ / "locked.html", fs::perms::none);
    expectServed(get("suite://app/start.html"), kIndex, kHtml);
    expectNotFound(get("suite://app/dangling.html"));
    expectNotFound(get("suite://app/zero.js"));
    if (::geteuid() != 0) expectNotFound(get("suite://app/locked.html"));  // root reads any file
}

TEST_F(SchemeHandlerTest, FifoIsRefusedWithoutBlocking) {
    fs::path fifo = root_ / "pipe.js";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    auto pending = std::async(std::launch::async, [&] { return get("suite://app/pipe.js"); });
    if (pending.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);  // release the reader
        if (fd >= 0) ::close(fd);
        pending.wait();
        FAIL() << "reading a FIFO blocked";
    }
    expectNotFound(pending.get());
}

TEST_F(SchemeHandlerTest, RootIsStandardised) {
    SchemeHandler trailing(root_.string() + "/");
    expectServed(trailing.respond("suite://app/"), kIndex, kHtml);
    EXPECT_EQ(trailing.root(), root_);
    SchemeHandler dotted(base_ / "web2" / ".." / "." / "web");
    expectNotFound(dotted.respond("suite://app/../web2/secret.html"));
    EXPECT_EQ(dotted.root(), root_);

    fs::path saved = fs::current_path();
    fs::current_path(base_);
    SchemeHandler relative("web");
    fs::current_path(saved);
    expectServed(relative.respond("suite://app/"), kIndex, kHtml);
    expectNotFound(relative.respond("suite://app/../web2/secret.html"));
}

// Without a page folder (or with the whole file system as one) nothing at all is served.
TEST_F(SchemeHandlerTest, WithoutAFolderNothingIsServed) {
    for (const fs::path& root : {fs::path(), fs::path("/"), fs::path("/..")}) {
        SchemeHandler none(root);
        for (const std::string uri :
             {"suite://app/etc/hostname", "suite://app/", "suite://app/../etc/hostname"})
            expectNotFound(none.respond(uri), root.string() + " " + uri);
    }
}

}  // namespace
}  // namespace suite
