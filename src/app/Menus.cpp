#include "app/Menus.h"

namespace suite {

namespace {

MenuItem item(const char* english, const char* arabic, bool useArabic, MenuCommand command,
              const char* key, const char* otherKey = "") {
    return MenuItem{useArabic ? arabic : english, command, key, false, otherKey};
}

MenuItem separator() {
    return MenuItem{"", MenuCommand::About, "", true, ""};
}

}  // namespace

MenuBar buildMenuBar(bool ar) {
    MenuBar bar;
    bar.rightToLeft = ar;
    bar.menus.push_back(
        Menu{"",
             {
                 item("About TALVEN™ Suite", "حول TALVEN™ Suite", ar, MenuCommand::About, ""),
                 separator(),
                 item("Check for Updates", "ابحث عن التحديثات", ar, MenuCommand::CheckNow, "r"),
                 item("Settings…", "الإعدادات…", ar, MenuCommand::OpenSettings, ","),
                 separator(),
                 item("Hide TALVEN™ Suite", "إخفاء TALVEN™ Suite", ar, MenuCommand::Hide, "h"),
                 item("Quit TALVEN™ Suite", "إنهاء TALVEN™ Suite", ar, MenuCommand::Quit, "q"),
             },
             false});
    bar.menus.push_back(Menu{ar ? "تحرير" : "Edit",
                             {
                                 item("Copy", "نسخ", ar, MenuCommand::Copy, "c"),
                                 item("Select All", "تحديد الكل", ar, MenuCommand::SelectAll, "a"),
                             },
                             false});
    bar.menus.push_back(
        Menu{ar ? "عرض" : "View",
             {
                 // "=" is the same key without Shift on most layouts.
                 item("Zoom In", "تكبير", ar, MenuCommand::ZoomIn, "+", "="),
                 item("Zoom Out", "تصغير العرض", ar, MenuCommand::ZoomOut, "-"),
                 item("Actual Size", "الحجم الفعلي", ar, MenuCommand::ZoomReset, "0"),
             },
             false});
    bar.menus.push_back(Menu{ar ? "نافذة" : "Window",
                             {
                                 item("Minimize", "تصغير", ar, MenuCommand::Minimize, "m"),
                                 item("Close", "إغلاق", ar, MenuCommand::Close, "w"),
                             },
                             true});
    return bar;
}

AboutInfo aboutInfo(bool ar, const std::string& version, const std::string& vendorHost) {
    AboutInfo info;
    info.name = kProductName;
    info.version = version;
    info.credits = std::string(ar ? "كل برامج TALVEN™ وإضافات PowerPoint، محدَّثة في مكان واحد."
                                  : "Every TALVEN™ app and PowerPoint add-in, kept up to date in "
                                    "one place.") +
                   "\n" + vendorHost;
    info.rights = "© 2026 Brenlow";
    return info;
}

std::string missingFilesNotice(bool ar) {
    return ar ? "بعض ملفات TALVEN™ Suite مفقودة.\nيُرجى إعادة تثبيت TALVEN™ Suite."
              : "Some of TALVEN™ Suite’s files are missing.\nPlease reinstall TALVEN™ Suite.";
}

ReloadNotice reloadNotice(bool ar) {
    if (ar) return {"توقفت نافذة TALVEN™ Suite عن العمل عدة مرات.", "إعادة التحميل", true};
    return {"TALVEN™ Suite’s window stopped working several times.", "Reload", false};
}

}  // namespace suite
