#pragma once
// A system that calls itself Fedora (dnf) or openSUSE (zypper), made inside tests/sandbox.sh's
// overlays: its os-release, an initialised rpm database with a base package standing for the
// system's shell (scriptlets need /bin/sh, which no RPM provides on Debian), and a local
// repository both tools are configured with. Gone again, as far as the helper can tell, with
// the object: the os-release file is Debian's again.
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/Process.h"

namespace suite::fakes {

// A shell line's exit status and what it printed ("0:..." when it worked).
inline std::string shell(const std::string& line) {
    ProcessOptions options;
    options.mergeStandardError = true;
    auto run = runProcess("/bin/sh", {"-c", line}, options);
    return run ? std::to_string(run->exitStatus) + ":" + run->standardOutput : "no shell";
}

struct RpmRecipe {
    std::string name, version, tags = "", post = "", arch = "noarch";
};

// A real RPM built with rpmbuild in `dir`: one file, /opt/talven-test/<name>/VERSION.
inline std::filesystem::path buildRpm(const std::filesystem::path& dir, const RpmRecipe& rpm) {
    const auto buildFile = dir / (rpm.name + ".buildFile");
    const std::string file = "/opt/talven-test/" + rpm.name;
    std::ofstream(buildFile)
        << "Name: " << rpm.name << "\nVersion: " << rpm.version
        << "\nRelease: 1\nSummary: a package for the install tests\nLicense: MIT\n"
        << rpm.tags << "\n%description\ntest\n%install\nmkdir -p %{buildroot}" << file << "\necho "
        << rpm.version << " > %{buildroot}" << file << "/VERSION\n%files\n"
        << file << "\n"
        << (rpm.post.empty() ? "" : "%post\n" + rpm.post + "\n");
    shell("rpmbuild -bb --quiet --target " + rpm.arch + " --define '_topdir " +
          (dir / "top").string() + "' " + buildFile.string());
    return dir / "top" / "RPMS" / rpm.arch /
           (rpm.name + "-" + rpm.version + "-1." + rpm.arch + ".rpm");
}

class RpmWorld {
  public:
    // `repository` holds the packages the world's repository offers (createrepo_c indexes it);
    // `provides` are more capabilities the base package stands for (what the system's own
    // packages would provide), one per line.
    RpmWorld(const std::filesystem::path& dir, const std::filesystem::path& repository, bool zypper,
             const std::string& provides = "") {
        std::string tags = "Provides: /bin/sh\n";
        for (std::size_t at = 0; at < provides.size();) {
            const auto end = provides.find('\n', at);
            const std::string line = provides.substr(at, end - at);
            // rpm's own capabilities ("rpmlib(...)") are rpm's to provide.
            if (!line.empty() && !line.starts_with("rpmlib(")) tags += "Provides: " + line + "\n";
            at = end == std::string::npos ? provides.size() : end + 1;
        }
        const auto base = buildRpm(dir, {"talven-test-base", "1.0", tags});
        const std::string repo = "[talven-test]\nname=talven-test\nbaseurl=file://" +
                                 repository.string() + "\ngpgcheck=0\nenabled=1\n";
        made_ = shell("rm -f /etc/os-release && printf '" +
                      std::string(zypper ? "ID=\"opensuse-leap\"\\nID_LIKE=\"suse opensuse\""
                                         : "ID=fedora\\nVERSION_ID=40") +
                      "\\n' > /etc/os-release && rpm --initdb && rpm -i --justdb --replacepkgs "
                      "2>/dev/null " +
                      base.string() + " && createrepo_c -q " + repository.string() +
                      " && mkdir -p /etc/yum.repos.d /etc/zypp/repos.d && chmod -R a+rX " +
                      repository.string() + " && printf '" + repo +
                      "' | tee /etc/yum.repos.d/talven-test.repo > "
                      "/etc/zypp/repos.d/talven-test.repo");
    }
    ~RpmWorld() { shell("rm -f /etc/os-release && ln -s ../usr/lib/os-release /etc/os-release"); }
    RpmWorld(const RpmWorld&) = delete;
    RpmWorld& operator=(const RpmWorld&) = delete;
    bool ready() const { return made_ == "0:"; }
    // What making it printed, when it could not.
    const std::string& problem() const { return made_; }

  private:
    std::string made_;
};

}  // namespace suite::fakes
