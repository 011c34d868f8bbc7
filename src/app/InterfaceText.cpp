#include "app/InterfaceText.h"

namespace suite {

namespace {

constexpr InterfaceText kEnglish{
    .about = "About TALVEN™ Suite",
    .checkForUpdates = "Check for Updates",
    .settings = "Settings…",
    .hide = "Hide TALVEN™ Suite",
    .quit = "Quit TALVEN™ Suite",
    .editMenu = "Edit",
    .undo = "Undo",
    .cut = "Cut",
    .copy = "Copy",
    .paste = "Paste",
    .selectAll = "Select All",
    .viewMenu = "View",
    .zoomIn = "Zoom In",
    .zoomOut = "Zoom Out",
    .actualSize = "Actual Size",
    .windowMenu = "Window",
    .minimize = "Minimize",
    .close = "Close",
    .credits = "Every TALVEN™ app and PowerPoint add-in, kept up to date in one place.",
    .missingFiles = "Some of TALVEN™ Suite’s files are missing.\nPlease reinstall TALVEN™ Suite.",
    .stoppedOften = "TALVEN™ Suite’s window stopped working several times.",
    .reload = "Reload",
    .installPrompt = "TALVEN™ Suite wants to install TALVEN apps.",
    .addFiles = "Add",
    .addFilesTitle = "Attach Pictures or Videos",
    .picturesAndVideos = "Pictures and videos",
    .menuBar = "Menu bar",
    .usage =
        "Usage: talven-suite [OPTION]\n"
        "       talven-suite --list [--json] | --check | --update (ID... | --all) [--yes]\n"
        "Keeps every TALVEN app and PowerPoint add-in up to date, from one window.\n"
        "\n"
        "  --background   start without showing the window, as at login\n"
        "  --demo         showcase: nothing is installed, opened, saved or sent\n"
        "  --help         show this help and end\n"
        "  --version      show the version and end\n"
        "\n"
        "Without a window, for scripts:\n"
        "  --list         each product: installed and available version, state\n"
        "  --json         (with --list) as JSON\n"
        "  --check        look for updates: status 0 when there are some, 3 when not\n"
        "  --update ID... download, verify and install these products\n"
        "  --all          (with --update) every update available\n"
        "  --yes, -y      (with --update) do not ask first\n"
        "\n"
        "Exit status: 0 done, 1 failed, 2 usage error, 3 nothing to do, 4 refused by policy.\n"
        "Starting it again while it runs shows its window.\n",
    .unknownOptionBefore = "talven-suite: unknown option ",
    .unknownOptionAfter = " (see talven-suite --help)\n",
    .misusedOptionBefore = "talven-suite: ",
    .misusedOptionAfter = " does not go with the rest of the line (see talven-suite --help)\n",
};

constexpr InterfaceText kArabic{
    .about = "حول TALVEN™ Suite",
    .checkForUpdates = "ابحث عن التحديثات",
    .settings = "الإعدادات…",
    .hide = "إخفاء TALVEN™ Suite",
    .quit = "إنهاء TALVEN™ Suite",
    .editMenu = "تحرير",
    .undo = "تراجع",
    .cut = "قص",
    .copy = "نسخ",
    .paste = "لصق",
    .selectAll = "تحديد الكل",
    .viewMenu = "عرض",
    .zoomIn = "تكبير",
    .zoomOut = "تصغير العرض",
    .actualSize = "الحجم الفعلي",
    .windowMenu = "نافذة",
    .minimize = "تصغير",
    .close = "إغلاق",
    .credits = "كل برامج TALVEN™ وإضافات PowerPoint، محدَّثة في مكان واحد.",
    .missingFiles = "بعض ملفات TALVEN™ Suite مفقودة.\nيُرجى إعادة تثبيت TALVEN™ Suite.",
    .stoppedOften = "توقفت نافذة TALVEN™ Suite عن العمل عدة مرات.",
    .reload = "إعادة التحميل",
    .installPrompt = "يريد TALVEN™ Suite تثبيت تطبيقات TALVEN.",
    .addFiles = "إضافة",
    .addFilesTitle = "إرفاق صور أو مقاطع فيديو",
    .picturesAndVideos = "الصور ومقاطع الفيديو",
    .menuBar = "شريط القوائم",
    .usage =
        "الاستخدام: talven-suite [خيار]\n"
        "       talven-suite --list [--json] | --check | --update (ID... | --all) [--yes]\n"
        "يُبقي كل تطبيقات TALVEN وإضافات PowerPoint محدَّثة، في نافذة واحدة.\n"
        "\n"
        "  --background   يبدأ دون إظهار نافذته، كما عند تسجيل الدخول\n"
        "  --demo         عرض توضيحي: لا يُثبَّت شيء ولا يُفتح ولا يُحفظ ولا يُرسَل\n"
        "  --help         يعرض هذه المساعدة ثم ينتهي\n"
        "  --version      يعرض رقم الإصدار ثم ينتهي\n"
        "\n"
        "دون نافذة، للنصوص البرمجية:\n"
        "  --list         كل منتج: الإصدار المثبَّت والمتاح، وحالته\n"
        "  --json         (مع --list) بصيغة JSON\n"
        "  --check        يبحث عن التحديثات: الحالة 0 إن وُجدت، و3 إن لم توجد\n"
        "  --update ID... ينزّل هذه المنتجات ويتحقق منها ويثبّتها\n"
        "  --all          (مع --update) كل تحديث متاح\n"
        "  --yes, -y      (مع --update) دون سؤال أولًا\n"
        "\n"
        "حالة الخروج: 0 تم، 1 فشل، 2 خطأ في الاستخدام، 3 لا شيء لفعله، 4 رفضته السياسة.\n"
        "تشغيله مرة أخرى وهو يعمل يُظهر نافذته.\n",
    .unknownOptionBefore = "talven-suite: الخيار ",
    .unknownOptionAfter = " غير معروف (انظر talven-suite --help)\n",
    .misusedOptionBefore = "talven-suite: الخيار ",
    .misusedOptionAfter = " لا يتفق مع بقية السطر (انظر talven-suite --help)\n",
};

}  // namespace

const InterfaceText& interfaceText(bool arabic) {
    return arabic ? kArabic : kEnglish;
}

}  // namespace suite
