// Whatever the page posts, the bridge decodes it without crashing, in demo mode and out of it,
// and demo mode never lets through more than a normal run does. An install item it takes is
// one the download may go ahead with; every other object item is refused, none dropped.
#include "bridge/Actions.h"
#include "download/DownloadPolicy.h"
#include "fuzz/FuzzInput.h"
#include "platform/InstallerRecords.h"

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, std::size_t size) {
    const suite::Json body = suite::Json::parse(data, data + size, nullptr, false);
    const suite::DownloadRules rules{.vendorHost = "brenlow.example"};
    const auto normal = suite::bridge::decodeAction(body, false, rules);
    const auto demo = suite::bridge::decodeAction(body, true, rules);
    if (demo) suite::fuzz::require(normal.has_value(), "demo mode accepts only what a run does");
    const auto* install = normal ? std::get_if<suite::bridge::Install>(&*normal) : nullptr;
    if (!install) return 0;
    const auto& request = install->request;
    suite::fuzz::require(request.items.size() + request.refused.size() ==
                             suite::objectListMember(body, "items").size(),
                         "every item is taken or refused");
    for (const auto& item : request.items) {
        bool acceptable = !item.id.empty() && !item.urls.empty() &&
                          item.urls.size() <= suite::kMaxMirrors + 1 &&
                          suite::isAcceptableFileName(item.file) && suite::isSha256Hex(item.sha256);
        for (const auto& url : item.urls)
            acceptable = acceptable && suite::isAcceptableDownloadUrl(url, rules.vendorHost, false);
        suite::fuzz::require(acceptable, "a taken item is one the download may go ahead with");
    }
    return 0;
}
