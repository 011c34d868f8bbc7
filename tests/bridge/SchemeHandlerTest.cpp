// The page's scheme on a folder written here. The page's own files through the engine are the
// host tests'; here what must never be served.
#include "bridge/SchemeHandler.h"

#include <filesystem>
#include <fstream>
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

void expectNotFound(const SchemeResponse& r, const std::string& uri = "") {
    EXPECT_EQ(r.status, 404) << uri;
    EXPECT_TRUE(r.headers.empty()) << uri;
    EXPECT_TRUE(r.body.empty()) << uri;
}

// <tmp>/web is the root; <tmp>/web2 is a sibling sharing its name as a prefix.
class SchemeHandlerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        base_ = fs::canonical(dir_.path());
        root_ = base_ / "web";
        writeFile(root_ / "index.html", kIndex);
        writeFile(root_ / "Makefile", "all:");
        writeFile(root_ / "sub" / "page.html", "sub page");
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

// Names as the engine sends them: escaped, with steps that stay inside, in any case of extension,
// through a link that stays inside. A type the engine would run only for the kinds of file the
// page ships; anything else is bytes.
TEST_F(SchemeHandlerTest, ServesWhatANameDecodesToInsideTheFolderWithTypeLengthAndNoStore) {
    fs::create_symlink("index.html", root_ / "start.html");
    writeFile(root_ / "my page.html", "spaced");
    writeFile(root_ / "sub" / "LOGO.PNG", "png");
    writeFile(root_ / "empty.css", "");
    const struct {
        const char* uri;
        const char* body;
        const char* type;
    } cases[] = {
        {"suite://app/", kIndex, "text/html; charset=utf-8"},
        {"suite://app/my%20page.html", "spaced", "text/html; charset=utf-8"},
        {"suite://app/sub/../sub/./LOGO.PNG", "png", "image/png"},
        {"suite://app/empty.css", "", "text/css; charset=utf-8"},
        {"suite://app/start.html#../../outside.txt", kIndex, "text/html; charset=utf-8"},
        {"suite://app/Makefile?x=1", "all:", "application/octet-stream"},
    };
    for (const auto& c : cases) {
        const auto response = get(c.uri);
        EXPECT_EQ(response.status, 200) << c.uri;
        EXPECT_EQ(response.body, c.body) << c.uri;
        EXPECT_EQ(response.headers,
                  (Headers{{"Content-Type", c.type},
                           {"Content-Length", std::to_string(response.body.size())},
                           {"Cache-Control", "no-store"}}))
            << c.uri;
    }
}

TEST_F(SchemeHandlerTest, RefusesEscapesFoldersLinksOutMissingAndMalformed) {
    fs::create_symlink("gone.html", root_ / "dangling.html");
    fs::create_symlink("/dev/zero", root_ / "zero.js");
    for (const std::string& uri : std::vector<std::string>{
             "suite://app/sub/../../outside.txt", "suite://app/%2e%2e/outside.txt",
             "suite://app/..%2foutside.txt",
             // sibling folder whose name starts with the root's name
             "suite://app/../web2/secret.html",
             // absolute-looking paths stay under the root
             "suite://app//etc/passwd", "suite://app/%2fetc%2fpasswd", "suite://app/sub/",
             "suite://app/folder.js", "suite://app/INDEX.HTML", "suite://app/index.html%00",
             "suite://app/dangling.html", "suite://app/zero.js", "index.html", ":/index.html"})
        expectNotFound(get(uri), uri);
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
