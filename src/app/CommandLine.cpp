#include "app/CommandLine.h"

#include <array>

#include "app/Menus.h"
#include "notify/Waiting.h"

namespace suite {

namespace {

// The last one is how the waiting program hands on a notification's "Update"; it is no user's
// switch, so the usage does not name it.
constexpr std::array<std::string_view, 3> kRunSwitches = {"--background", "--demo",
                                                          kUpdateAnswerSwitch};

}  // namespace

CommandLine readCommandLine(const std::vector<std::string>& arguments) {
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") return {CommandLine::Request::Help, {}};
        if (argument == "--version") return {CommandLine::Request::Version, {}};
        bool known = false;
        for (auto candidate : kRunSwitches) known = known || argument == candidate;
        if (!known) return {CommandLine::Request::Invalid, argument};
    }
    return {};
}

std::string usageText(bool arabic) {
    if (arabic) {
        return "الاستخدام: talven-suite [خيار]\n"
               "يُبقي كل تطبيقات TALVEN وإضافات PowerPoint محدَّثة، في نافذة واحدة.\n"
               "\n"
               "  --background   يبدأ دون إظهار نافذته، كما عند تسجيل الدخول\n"
               "  --demo         عرض توضيحي: لا يُثبَّت شيء ولا يُفتح ولا يُحفظ ولا يُرسَل\n"
               "  --help         يعرض هذه المساعدة ثم ينتهي\n"
               "  --version      يعرض رقم الإصدار ثم ينتهي\n"
               "\n"
               "تشغيله مرة أخرى وهو يعمل يُظهر نافذته.\n";
    }
    return "Usage: talven-suite [OPTION]\n"
           "Keeps every TALVEN app and PowerPoint add-in up to date, from one window.\n"
           "\n"
           "  --background   start without showing the window, as at login\n"
           "  --demo         showcase: nothing is installed, opened, saved or sent\n"
           "  --help         show this help and end\n"
           "  --version      show the version and end\n"
           "\n"
           "Starting it again while it runs shows its window.\n";
}

std::string versionText(std::string_view version) {
    return std::string(kProductName) + " " + std::string(version) + "\n";
}

std::string invalidArgumentText(bool arabic, std::string_view argument) {
    std::string quoted = "\"";
    for (char c : argument) {
        quoted += static_cast<unsigned char>(c) < 0x20 || c == 0x7f ? '?' : c;
    }
    quoted += '"';
    if (arabic) return "talven-suite: الخيار " + quoted + " غير معروف (انظر talven-suite --help)\n";
    return "talven-suite: unknown option " + quoted + " (see talven-suite --help)\n";
}

}  // namespace suite
