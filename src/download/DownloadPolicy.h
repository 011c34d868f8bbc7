#pragma once
// Which catalog items the install queue may download, decided before anything is contacted or
// written: the address must be the vendor's, the file name must stay inside the download folder.
#include <string_view>

namespace suite {

// True for an https address whose host is `vendorHost` or a name under it. Plain http passes only
// when `allowLoopbackHttp` is set (tests against servers on this machine) and the host is a
// loopback address; it must then still be the vendor host as configured for the test.
bool isAcceptableDownloadUrl(std::string_view url, std::string_view vendorHost,
                             bool allowLoopbackHttp);

// True for a bare file name: not empty, not "." or "..", no '/' and no NUL.
bool isAcceptableFileName(std::string_view name);

}  // namespace suite
