// The packages kept for a restore, on real files: what an update replaced stays with the signed
// document that vouched for it, within a size bound, and goes with the product.
#include <gtest/gtest.h>

#include <fstream>

#include "fakes/TempDir.h"
#include "install/KeptPackages.h"
#include "platform/Files.h"

namespace suite {
namespace {

namespace fs = std::filesystem;

struct Kept : ::testing::Test {
    fakes::TempDir dir;
    // Installs version `version` of `id` from a package of `bytes` bytes, vouched for by a
    // catalog that names the version.
    void install(KeptPackages& kept, const std::string& id, const std::string& version,
                 std::size_t bytes = 10) {
        std::ofstream(dir / "download.deb") << std::string(bytes, 'p');
        // Replaced whole, as the program replaces its kept catalog.
        writeFileAtomically(dir / "catalog.json", "catalog of " + version);
        writeFileAtomically(dir / "catalog.json.sig", "signature of " + version);
        kept.keep({.id = id, .file = id + "_" + version + ".deb", .version = version},
                  dir / "download.deb", dir / "catalog.json", dir / "catalog.json.sig");
        EXPECT_FALSE(fs::exists(dir / "download.deb")) << "moved in, or removed";
    }
    // "version package-file catalog signature" of the kept previous package; "-" for none.
    std::string previous(const KeptPackages& kept, const std::string& id) {
        const auto p = kept.previous(id);
        if (!p) return "-";
        return p->version + " " + p->package.filename().string() + " " +
               readWholeFile(p->catalog).value_or("?") + " / " +
               readWholeFile(p->signature).value_or("?");
    }
};

TEST_F(Kept, AnUpdateKeepsWhatItReplacedWithTheDocumentThatVouchedForIt) {
    KeptPackages kept(dir / "kept");
    install(kept, "talven.poll", "1.0");
    EXPECT_EQ(previous(kept, "talven.poll"), "-") << "nothing replaced yet";
    install(kept, "talven.poll", "1.4");
    install(kept, "talven.poll", "1.4");  // installed again: still replaces 1.0
    EXPECT_EQ(previous(kept, "talven.poll"),
              "1.0 talven.poll_1.0.deb catalog of 1.0 / signature of 1.0");
    install(kept, "talven.poll", "2.0");
    EXPECT_EQ(previous(kept, "talven.poll").substr(0, 4), "1.4 ");
    // A half-written slot (its version file is written last) is no restore.
    fs::remove(dir / "kept" / "talven.poll" / "previous" / "version");
    EXPECT_EQ(previous(kept, "talven.poll"), "-");
    // Ids that are not plain folder names keep nothing, anywhere.
    for (const char* bad : {"..", "../x", "", ".hidden"}) install(kept, bad, "1.0");
    EXPECT_FALSE(fs::exists(dir / "x"));
}

TEST_F(Kept, TheFolderStaysWithinItsBoundAndAProductGoneLosesItsPackages) {
    // Each slot holds its package and 33 bytes of catalog, signature and version.
    KeptPackages kept(dir / "kept", 300);
    install(kept, "a", "1.0", 60);
    install(kept, "a", "2.0", 60);
    install(kept, "b", "1.0", 60);
    EXPECT_EQ(previous(kept, "a").substr(0, 4), "1.0 ");
    // Over the bound: the previous package goes before any installed one.
    install(kept, "b", "2.0", 60);
    EXPECT_EQ(previous(kept, "a"), "-");
    EXPECT_EQ(previous(kept, "b").substr(0, 4), "1.0 ");
    install(kept, "c", "1.0", 301);  // larger than the bound: not kept at all
    EXPECT_FALSE(fs::exists(dir / "kept" / "c"));

    kept.keepOnly({"a"});
    EXPECT_EQ(previous(kept, "b"), "-");
    EXPECT_TRUE(fs::exists(dir / "kept" / "a"));
}

}  // namespace
}  // namespace suite
