#include "backends/debian/FrontendLock.h"

#include <fcntl.h>

#include <chrono>
#include <thread>

namespace suite::debian {

FrontendLock::FrontendLock(const std::string& adminDir, double waitSeconds)
    : fd_(::open((adminDir + "/lock-frontend").c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW,
                 0640)) {
    if (fd_.get() < 0) return;
    const auto until = std::chrono::steady_clock::now() +
                       std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                           std::chrono::duration<double>(waitSeconds));
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    while (!(held_ = ::fcntl(fd_.get(), F_SETLK, &lock) == 0) &&
           std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
}

}  // namespace suite::debian
