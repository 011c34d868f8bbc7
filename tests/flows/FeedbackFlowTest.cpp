// Feedback with attachments, from the form through the real file dialog, GIO's types and
// gdk-pixbuf's thumbnails to the vendor's service, as a user sends it.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <fstream>

#include "flows/FlowHarness.h"
#include "flows/PageSteps.h"
#include "hosts/gtk/Toolkit.h"
#include "platform/Files.h"

namespace suite::flows {
namespace {

// Answers the file dialog the page asked for with `file`.
bool chooseInDialog(const fs::path& file) {
    GtkWidget* dialog = nullptr;
    gtk::spinUntil(
        [&] {
            GList* windows = gtk_window_list_toplevels();
            for (GList* w = windows; w; w = w->next) {
                if (GTK_IS_FILE_CHOOSER_DIALOG(w->data) &&
                    gtk_widget_get_visible(GTK_WIDGET(w->data)))
                    dialog = GTK_WIDGET(w->data);
            }
            g_list_free(windows);
            return dialog != nullptr;
        },
        10);
    if (dialog == nullptr) return false;
    GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
    EXPECT_TRUE(gtk_file_chooser_get_select_multiple(chooser));
    // Titled and its filter named, in the interface's language, for every user to know them.
    EXPECT_STREQ(gtk_window_get_title(GTK_WINDOW(dialog)), "Attach Pictures or Videos");
    GtkFileFilter* filter = gtk_file_chooser_get_filter(chooser);
    EXPECT_STREQ(filter ? gtk_file_filter_get_name(filter) : "", "Pictures and videos");
    GFile* chosen = g_file_new_for_path(file.c_str());
    gtk_file_chooser_set_file(chooser, chosen, nullptr);
    g_object_unref(chosen);
    // The dialog selects the file once it has read the folder, and refuses to answer before.
    bool selected = gtk::spinUntil([&] { return gtk::chosenFiles(chooser).size() == 1; }, 10);
    gtk_dialog_response(GTK_DIALOG(dialog), selected ? GTK_RESPONSE_ACCEPT : GTK_RESPONSE_CANCEL);
    return selected;
}

// A form with `attachments` added one by one through the dialog, as a user adds them.
void fillForm(FlowHarness& h, const std::vector<fs::path>& attachments) {
    ASSERT_TRUE(h.click("[data-view=\"feedback\"]"));
    h.eval(
        "(() => { const m = document.querySelector('[data-field=\"message\"]'); "
        "m.value = 'The charts add-in forgets its colours.'; "
        "m.dispatchEvent(new Event('input', { bubbles: true })); return true; })()");
    for (std::size_t i = 0; i < attachments.size(); ++i) {
        ASSERT_TRUE(h.click("[data-action=\"pick-files\"]"));
        ASSERT_TRUE(chooseInDialog(attachments[i])) << attachments[i];
        ASSERT_TRUE(gtk::spinUntil([&] { return h.events("picked").size() == i + 1; }, 10));
    }
}

std::vector<fs::path> makeAttachments(const fs::path& folder) {
    GdkPixbuf* picture = gdk_pixbuf_new(GDK_COLORSPACE_RGB, FALSE, 8, 640, 480);
    gdk_pixbuf_fill(picture, 0x3b7bf6ff);
    gdk_pixbuf_save(picture, (folder / "screen shot.png").c_str(), "png", nullptr, nullptr);
    g_object_unref(picture);
    std::string movie(3 << 20, '\0');
    for (std::size_t i = 0; i < movie.size(); ++i) movie[i] = static_cast<char>(i * 31 % 251);
    std::ofstream(folder / "recording.mov", std::ios::binary) << movie;
    std::ofstream(folder / "notes.mp4", std::ios::binary) << std::string(70'000, 'n');
    return {folder / "screen shot.png", folder / "recording.mov", folder / "notes.mp4"};
}

TEST(FeedbackFlow, ThreeAttachmentsReachTheServiceWhole) {
    FlowHarness h(sharedVendor());
    h.start();
    // A page that answers after the harness stopped waiting (a slow machine) answers nobody.
    const char* slow =
        "(() => { const end = Date.now() + 400; while (Date.now() < end); return 1; })()";
    EXPECT_TRUE(h.eval(slow, 0.05).is_null());
    gtk::spinUntil([] { return false; }, 0.8);
    EXPECT_EQ(h.eval("1 + 1"), 2);
    const auto attachments = makeAttachments(h.root());
    fillForm(h, attachments);
    const auto picked = h.events("picked");
    EXPECT_EQ(picked[0]["files"][0].value("type", ""), "image/png");
    EXPECT_EQ(picked[0]["files"][0].value("thumb", "").rfind("data:image/jpeg;base64,", 0), 0u);
    // Decoded, so the page's content policy let the data address through.
    EXPECT_TRUE(
        h.waitFor("[...document.querySelectorAll('[data-files] img')].filter(i => "
                  "i.naturalWidth).length == 1"))
        << "the picture's thumbnail is shown";

    ASSERT_TRUE(h.click("[data-action=\"send-feedback\"]"));
    ASSERT_TRUE(gtk::spinUntil([&] { return !h.events("feedbackResult").empty(); }, 60));
    EXPECT_EQ(h.events("feedbackResult"),
              (std::vector<Json>{{{"type", "feedbackResult"}, {"ok", true}, {"error", "send"}}}));
    EXPECT_TRUE(h.delegate().feedback().picked().empty())
        << "a delivered feedback forgets its attachments";

    // The service has the record, every file byte for byte in order, and the done mark.
    std::vector<fs::path> submissions;
    for (const auto& entry : fs::directory_iterator(h.vendor().received())) {
        if (fs::exists(entry.path() / "file-3")) submissions.push_back(entry.path());
    }
    ASSERT_EQ(submissions.size(), 1u);
    const fs::path received = submissions[0];
    EXPECT_TRUE(fs::exists(received / "done"));
    for (std::size_t i = 0; i < attachments.size(); ++i) {
        EXPECT_EQ(readWholeFile(received / ("file-" + std::to_string(i + 1))),
                  readWholeFile(attachments[i]))
            << attachments[i];
    }
    Json record = Json::parse(*readWholeFile(received / "submission.json"));
    EXPECT_EQ(record["message"], "The charts add-in forgets its colours.");
    EXPECT_EQ(record["files"][0], (Json{{"name", "screen shot.png"},
                                        {"size", fs::file_size(attachments[0])},
                                        {"type", "image/png"}}));
    EXPECT_TRUE(record["os"].is_string() && record["os"].get<std::string>().rfind("Linux ", 0) == 0)
        << record;
}

}  // namespace
}  // namespace suite::flows
