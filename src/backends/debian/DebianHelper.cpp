#include "backends/debian/DebianHelper.h"

#include <sstream>

#include "backends/debian/AptOutput.h"
#include "backends/debian/BatchTransaction.h"
#include "backends/debian/DpkgDatabase.h"

namespace suite::debian {

using privileged::toolOptions;

Expected<privileged::PackageFacts, std::string> DebianHelper::readPackage(
    const std::string& copy) const {
    auto fields = runProcess(
        tools_.dpkgDeb,
        {"--field", copy, "Package", "Version", "Architecture", "Depends", "Pre-Depends"},
        toolOptions(60));
    auto facts = readControl(fields && fields->exitStatus == 0 ? fields->standardOutput : "");
    if (!isPackageName(facts.package) || facts.version.empty()) {
        return unexpected(std::string("not a Debian package dpkg can read"));
    }
    return facts;
}

std::map<std::string, std::string> DebianHelper::installedVersions(
    const std::set<std::string>& names) const {
    return debian::installedVersions(names, tools_.adminDir);
}

int DebianHelper::compareVersions(const std::string& a, const std::string& b) const {
    return compareDebianVersions(a, b);
}

bool DebianHelper::takesArchitecture(const std::string& architecture) {
    if (!architectures_) {
        architectures_.emplace(std::set<std::string>{"all"});
        for (const char* question : {"--print-architecture", "--print-foreign-architectures"}) {
            auto run = runProcess(tools_.dpkg, {question}, toolOptions(60));
            if (!run || run->exitStatus != 0) continue;
            std::istringstream words(run->standardOutput);
            for (std::string word; words >> word;) architectures_->insert(word);
        }
    }
    return architectures_->contains(architecture);
}

void DebianHelper::install(const std::vector<privileged::BatchMember>& members,
                           privileged::Records& records) {
    installTransaction(members, records, tools_, settings_);
}

}  // namespace suite::debian
