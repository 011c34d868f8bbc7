#include "console/ConsoleText.h"

namespace suite::console {

namespace {

constexpr ConsoleText kEnglish{
    .id = "ID",
    .name = "NAME",
    .installed = "INSTALLED",
    .available = "AVAILABLE",
    .state = "STATE",
    .missing = "not installed",
    .update = "update available",
    .current = "up to date",
    .held = "held by the administrator",
    .none = "-",
    .catalogFailed = "talven-suite: the catalog could not be fetched: {reason}\n",
    .offline = "this computer is offline",
    .refused = "no catalog that came could be trusted",
    .unavailable = "the vendor's servers did not answer",
    .updatesAvailable = "Updates available: {count}\n",
    .upToDate = "Everything is up to date.\n",
    .unknownProduct = "talven-suite: the catalog has no product \"{id}\" for this computer\n",
    .barred = "talven-suite: \"{id}\" is not allowed by the administrator's policy\n",
    .nothingToDo = "Nothing to update.\n",
    .confirm = "Install {count} product(s), {size} to download? [y/N] ",
    .yes = "yes",
    .needYes = "talven-suite: nothing was installed; without a terminal to answer on, add --yes\n",
    .declined = "Nothing was installed.\n",
    .download = "downloading",
    .verify = "verifying",
    .password = "waiting for the administrator's password",
    .install = "installing",
    .installedAs = "{name} {version}: installed\n",
    .failed = "{name}: not installed ({reason})\n",
    .open = "{name}: not installed, it is open; close it and try again\n",
    .megabytes = "{size} MB",
};

constexpr ConsoleText kArabic{
    .id = "المعرّف",
    .name = "الاسم",
    .installed = "المثبَّت",
    .available = "المتاح",
    .state = "الحالة",
    .missing = "غير مثبَّت",
    .update = "يوجد تحديث",
    .current = "محدَّث",
    .held = "أبقاه مسؤول النظام",
    .none = "-",
    .catalogFailed = "talven-suite: تعذّر جلب الفهرس: {reason}\n",
    .offline = "هذا الحاسوب غير متصل",
    .refused = "لم يكن أي فهرس وصل جديرًا بالثقة",
    .unavailable = "لم تُجب خوادم المورِّد",
    .updatesAvailable = "التحديثات المتاحة: {count}\n",
    .upToDate = "كل شيء محدَّث.\n",
    .unknownProduct = "talven-suite: لا يضم الفهرس منتجًا \"{id}\" لهذا الحاسوب\n",
    .barred = "talven-suite: لا تسمح سياسة مسؤول النظام بـ \"{id}\"\n",
    .nothingToDo = "لا شيء لتحديثه.\n",
    .confirm = "تثبيت {count} من المنتجات، وتنزيل {size}؟ [y/N] ",
    .yes = "نعم",
    .needYes = "talven-suite: لم يُثبَّت شيء؛ دون طرفية للإجابة منها أضف --yes\n",
    .declined = "لم يُثبَّت شيء.\n",
    .download = "يجري التنزيل",
    .verify = "يجري التحقق",
    .password = "في انتظار كلمة مرور مسؤول النظام",
    .install = "يجري التثبيت",
    .installedAs = "{name} {version}: ثُبِّت\n",
    .failed = "{name}: لم يُثبَّت ({reason})\n",
    .open = "{name}: لم يُثبَّت لأنه مفتوح؛ أغلقه ثم أعد المحاولة\n",
    .megabytes = "{size} ميغابايت",
};

}  // namespace

const ConsoleText& consoleText(bool arabic) {
    return arabic ? kArabic : kEnglish;
}

std::string fillText(std::string_view text,
                     std::initializer_list<std::pair<std::string_view, std::string>> values) {
    std::string out(text);
    for (const auto& [key, value] : values) {
        std::string mark(1, '{');
        mark.append(key).push_back('}');
        for (auto at = out.find(mark); at != std::string::npos;
             at = out.find(mark, at + value.size())) {
            out.replace(at, mark.size(), value);
        }
    }
    return out;
}

}  // namespace suite::console
