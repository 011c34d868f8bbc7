// Attachments on this machine's real pieces: GIO's type registry, gdk-pixbuf's codecs on
// generated pictures, and the GTK file dialog.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <array>
#include <fstream>

#include "fakes/TempDir.h"
#include "feedback/Feedback.h"
#include "host/HostLoop.h"
#include "platform/gtk/GioFileTypes.h"
#include "platform/gtk/GtkFilePicker.h"

namespace suite::gtk {
namespace {

namespace fs = std::filesystem;

void writePicture(const fs::path& file, int width, int height, const char* format,
                  bool alpha = false) {
    GdkPixbuf* picture = gdk_pixbuf_new(GDK_COLORSPACE_RGB, alpha, 8, width, height);
    gdk_pixbuf_fill(picture, 0x3366ccff);
    ASSERT_TRUE(gdk_pixbuf_save(picture, file.c_str(), format, nullptr, nullptr));
    g_object_unref(picture);
}

// The picture a JPEG decodes to (the caller unrefs it), or null when it does not decode.
GdkPixbuf* decodeJpeg(const std::string& jpeg) {
    GdkPixbufLoader* loader = gdk_pixbuf_loader_new_with_type("jpeg", nullptr);
    GdkPixbuf* picture = nullptr;
    if (gdk_pixbuf_loader_write(loader, reinterpret_cast<const guchar*>(jpeg.data()), jpeg.size(),
                                nullptr) &&
        gdk_pixbuf_loader_close(loader, nullptr))
        picture = GDK_PIXBUF(g_object_ref(gdk_pixbuf_loader_get_pixbuf(loader)));
    g_object_unref(loader);
    return picture;
}

// The thumbnail's decoded pixel size, or nothing when the record has none.
std::optional<PixelSize> thumbSize(const Json& record) {
    if (!record.contains("thumb")) return std::nullopt;
    const std::string thumb = record["thumb"], prefix = "data:image/jpeg;base64,";
    EXPECT_EQ(thumb.rfind(prefix, 0), 0u);
    gsize length = 0;
    guchar* bytes = g_base64_decode(thumb.c_str() + prefix.size(), &length);
    GdkPixbuf* picture = decodeJpeg(std::string(reinterpret_cast<char*>(bytes), length));
    g_free(bytes);
    if (picture == nullptr) return std::nullopt;
    const PixelSize size{gdk_pixbuf_get_width(picture), gdk_pixbuf_get_height(picture)};
    g_object_unref(picture);
    return size;
}

TEST(AttachmentRecords, ThumbnailsAndTypesFromGioAndGdkPixbuf) {
    fakes::TempDir dir;
    writePicture(dir / "photo.jpg", 4000, 3000, "jpeg");
    writePicture(dir / "wide.png", 60, 30, "png", true);
    writePicture(dir / "line.png", 1000, 1, "png");
    writePicture(dir / "small.png", 13, 13, "png");
    std::ofstream(dir / "clip.mp4") << "not decoded: movies get no thumbnail";
    std::ofstream(dir / "fake.png") << "not a picture";
    std::ofstream(dir / "noextension") << "\x89PNG";
    std::ofstream(dir / "odd.zzqqx") << "x";

    const struct {
        const char* name;
        const char* type;
        std::optional<PixelSize> thumb;
    } cases[] = {{"photo.jpg", "image/jpeg", PixelSize{120, 90}},
                 {"wide.png", "image/png", PixelSize{120, 60}},
                 {"line.png", "image/png", PixelSize{120, 1}},
                 {"small.png", "image/png", PixelSize{119, 119}},
                 {"clip.mp4", "video/mp4", std::nullopt},
                 {"fake.png", "image/png", std::nullopt},
                 {"noextension", "application/octet-stream", std::nullopt},
                 {"odd.zzqqx", "application/octet-stream", std::nullopt}};
    GioFileTypes types;
    PixbufThumbnailer pictures;
    for (const auto& c : cases) {
        const Json record = attachmentRecord("ID", dir / c.name, types, pictures);
        EXPECT_EQ(record["type"], c.type) << c.name;
        EXPECT_EQ(record["size"], fs::file_size(dir / c.name)) << c.name;
        EXPECT_EQ(thumbSize(record), c.thumb) << c.name;
    }
}

// A JPEG of `width`×`height`, red on its left half and blue on its right, marked with the EXIF
// `orientation` a phone writes for a picture taken turned.
void writeTurnedPhoto(const fs::path& file, int width, int height, int orientation) {
    GdkPixbuf* picture = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, width, height);
    gdk_pixbuf_fill(picture, 0x0000ffff);
    GdkPixbuf* left = gdk_pixbuf_new_subpixbuf(picture, 0, 0, width / 2, height);
    gdk_pixbuf_fill(left, 0xff0000ff);
    g_object_unref(left);
    gchar* jpeg = nullptr;
    gsize length = 0;
    ASSERT_TRUE(gdk_pixbuf_save_to_buffer(picture, &jpeg, &length, "jpeg", nullptr, nullptr));
    g_object_unref(picture);
    // APP1 "Exif": a big-endian TIFF header and one IFD entry, Orientation (0x0112), a SHORT.
    const unsigned char exif[] = {
        0xFF, 0xE1, 0x00, 0x22, 'E', 'x', 'i', 'f', 0, 0,
        'M',  'M',  0,    42,   0,   0,   0,   8,   0, 1,
        0x01, 0x12, 0,    3,    0,   0,   0,   1,   0, static_cast<unsigned char>(orientation),
        0,    0,    0,    0,    0,   0};
    std::ofstream out(file, std::ios::binary);
    out.write(jpeg, 2);  // SOI
    out.write(reinterpret_cast<const char*>(exif), sizeof exif);
    out.write(jpeg + 2, static_cast<std::streamsize>(length - 2));
    g_free(jpeg);
}

TEST(AttachmentThumbnails, FollowTheOrientationAndLayTransparencyOnWhite) {
    fakes::TempDir dir;
    writeTurnedPhoto(dir / "turned.jpg", 240, 120, 6);  // stored landscape, seen portrait
    writePicture(dir / "clear.png", 60, 30, "png", true);
    GdkPixbuf* clear = gdk_pixbuf_new_from_file((dir / "clear.png").c_str(), nullptr);
    ASSERT_NE(clear, nullptr);
    gdk_pixbuf_fill(clear, 0x00000000);  // wholly transparent
    ASSERT_TRUE(gdk_pixbuf_save(clear, (dir / "clear.png").c_str(), "png", nullptr, nullptr));
    g_object_unref(clear);

    PixbufThumbnailer pictures;
    EXPECT_EQ(pictures.pictureSize(dir / "turned.jpg"), (PixelSize{120, 240}));
    auto decode = [](const std::optional<std::string>& jpeg) {
        return jpeg ? decodeJpeg(*jpeg) : nullptr;
    };
    auto pixel = [](GdkPixbuf* picture, int x, int y) {
        const guchar* p = gdk_pixbuf_read_pixels(picture) + y * gdk_pixbuf_get_rowstride(picture) +
                          x * gdk_pixbuf_get_n_channels(picture);
        return std::array<int, 3>{p[0], p[1], p[2]};
    };

    GdkPixbuf* turned = decode(pictures.jpegOf(dir / "turned.jpg", {60, 120}, 90));
    ASSERT_NE(turned, nullptr);
    EXPECT_EQ(gdk_pixbuf_get_width(turned), 60);
    EXPECT_EQ(gdk_pixbuf_get_height(turned), 120);
    // Turned a quarter clockwise, the stored left (red) is now on top.
    EXPECT_GT(pixel(turned, 30, 10)[0], 200);
    EXPECT_GT(pixel(turned, 30, 110)[2], 200);
    g_object_unref(turned);

    GdkPixbuf* laid = decode(pictures.jpegOf(dir / "clear.png", {60, 30}, 90));
    ASSERT_NE(laid, nullptr);
    for (int channel : pixel(laid, 30, 15)) EXPECT_GT(channel, 240);
    g_object_unref(laid);
}

// The chooser GTK shows without a desktop portal.
GtkWidget* openChooser() {
    GtkWidget* found = nullptr;
    spinUntil([&] {
        GList* windows = gtk_window_list_toplevels();
        for (GList* w = windows; w; w = w->next) {
            if (GTK_IS_FILE_CHOOSER_DIALOG(w->data) && gtk_widget_get_visible(GTK_WIDGET(w->data)))
                found = GTK_WIDGET(w->data);
        }
        g_list_free(windows);
        return found != nullptr;
    });
    return found;
}

// Choosing a file and accepting is what the feedback flows do through this same dialog.
TEST(FilePicker, OpensForManyFilesWithTheGivenLabelAndCancels) {
    GtkFilePicker picker;
    int calls = 0;
    std::optional<std::vector<fs::path>> chosen{std::vector<fs::path>{}};
    picker.pickFiles(nullptr, "إضافة", [&](std::optional<std::vector<fs::path>> files) {
        ++calls;
        chosen = std::move(files);
    });
    GtkWidget* dialog = openChooser();
    ASSERT_NE(dialog, nullptr) << "no file chooser appeared";
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    EXPECT_TRUE(gtk_file_chooser_get_select_multiple(chooser));
    EXPECT_EQ(gtk_file_chooser_get_action(chooser), GTK_FILE_CHOOSER_ACTION_OPEN);
    GtkWidget* accept = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
    ASSERT_NE(accept, nullptr);
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(accept)), "إضافة");
    gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    ASSERT_TRUE(spinUntil([&] { return calls == 1; }));
    EXPECT_FALSE(chosen.has_value());
}

}  // namespace
}  // namespace suite::gtk
