// Attachment thumbnails: the program's thumbnailer (gdk-pixbuf, scaled decode, JPEG quality 70)
// against `vipsthumbnail` on the same photos in the same run. Reports the wall time of each for
// all photos, and their ratio.
//
// bench_thumbnail [photos=20] [rounds=3] [folder=$TMPDIR or /tmp]
//
// The photos are generated 4000 x 3000 JPEGs (quality 90) with detail in every block, so the
// decoder cannot skip through flat colour. vipsthumbnail (Debian package libvips-tools) gets all
// photos in one process, so it pays its start-up once, as the program does.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "feedback/Feedback.h"
#include "hosts/gio/GioFileTypes.h"

namespace {

namespace fs = std::filesystem;
using namespace bench;

bool writePhoto(const fs::path& file, int seed) {
    const int width = 4000, height = 3000;
    GdkPixbuf* photo = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
    guchar* pixels = gdk_pixbuf_get_pixels(photo);
    const int stride = gdk_pixbuf_get_rowstride(photo);
    unsigned state = 2463534242u + static_cast<unsigned>(seed);
    for (int y = 0; y < height; ++y) {
        guchar* row = pixels + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            state ^= state << 13, state ^= state >> 17, state ^= state << 5;
            row[3 * x] = static_cast<guchar>((x * 255 / width + (state & 31)) & 255);
            row[3 * x + 1] = static_cast<guchar>((y * 255 / height + ((state >> 8) & 31)) & 255);
            row[3 * x + 2] = static_cast<guchar>(((x ^ y) + seed * 40) & 255);
        }
    }
    const bool saved =
        gdk_pixbuf_save(photo, file.c_str(), "jpeg", nullptr, "quality", "90", nullptr);
    g_object_unref(photo);
    return saved;
}

std::string findTool(const char* name) {
    for (const char* folder : {"/usr/bin", "/usr/local/bin"}) {
        const fs::path path = fs::path(folder) / name;
        if (::access(path.c_str(), X_OK) == 0) return path.string();
    }
    return {};
}

std::optional<double> withProgram(const std::vector<fs::path>& photos) {
    suite::gtk::PixbufThumbnailer thumbnailer;
    const auto start = Clock::now();
    for (const auto& photo : photos) {
        if (!suite::thumbnailOf(photo, thumbnailer)) return std::nullopt;
    }
    return seconds(start);
}

std::optional<double> withVips(const std::string& tool, const std::vector<fs::path>& photos,
                               const fs::path& out) {
    // Same size rule and JPEG quality; "--vips-concurrency" left at the library's default.
    const std::string output = (out / "%s.jpg[Q=70]").string();
    std::vector<std::string> args = {tool, "-s", "120x120", "-o", output};
    for (const auto& photo : photos) args.push_back(photo.string());
    return timeCommand(std::move(args));
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    const std::string tool = findTool("vipsthumbnail");
    if (tool.empty()) {
        std::printf("skipped: vipsthumbnail not found (Debian package libvips-tools)\n");
        return 0;
    }
    const char* tmp = std::getenv("TMPDIR");
    const fs::path base = argc > 3 ? fs::path(argv[3]) : fs::path(tmp ? tmp : "/tmp");
    const fs::path folder = base / ("talven-thumbnail-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder / "vips");
    auto cleanUp = [&] {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    };

    std::vector<fs::path> photos;
    for (int i = 0; i < count; ++i) {
        photos.push_back(folder / ("photo" + std::to_string(i) + ".jpg"));
        if (!writePhoto(photos.back(), i)) {
            std::fprintf(stderr, "cannot write the test photos\n");
            cleanUp();
            return 1;
        }
    }

    // A warm-up of each (file cache, loaders), then alternating rounds.
    std::vector<double> ours, vips;
    for (int round = -1; round < rounds; ++round) {
        const bool programFirst = round % 2 == 0;
        std::optional<double> a, b;
        if (programFirst) a = withProgram(photos);
        b = withVips(tool, photos, folder / "vips");
        if (!programFirst) a = withProgram(photos);
        if (!a || !b) {
            std::fprintf(stderr, "a thumbnail run failed\n");
            cleanUp();
            return 1;
        }
        if (round < 0) continue;
        ours.push_back(*a);
        vips.push_back(*b);
    }
    cleanUp();

    const double a = median(ours), b = median(vips);
    std::printf("photos               %d JPEGs of 4000x3000, median of %d rounds\n", count, rounds);
    std::printf("program (gdk-pixbuf) %.3f s  %.1f ms per photo\n", a, a * 1000 / count);
    std::printf("vipsthumbnail        %.3f s  %.1f ms per photo\n", b, b * 1000 / count);
    std::printf("time ratio           %.3f (target <= 1.5)\n", a / b);
    return 0;
}
