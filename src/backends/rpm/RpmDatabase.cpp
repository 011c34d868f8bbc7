#include "backends/rpm/RpmDatabase.h"

#include <rpm/header.h>
#include <rpm/rpmdb.h>
#include <rpm/rpmio.h>
#include <rpm/rpmlib.h>
#include <rpm/rpmmacro.h>
#include <rpm/rpmtd.h>
#include <rpm/rpmts.h>

#include <filesystem>
#include <memory>
#include <mutex>

#include "backends/rpm/RpmVersion.h"
#include "common/Ascii.h"

namespace suite::rpm {

namespace {

// rpm's configuration (macros, architectures) is process-wide and read once.
void readRpmConfiguration() {
    static std::once_flag once;
    std::call_once(once, [] { rpmReadConfigFiles(nullptr, nullptr); });
}

struct FreeTs {
    void operator()(rpmts ts) const { rpmtsFree(ts); }
};
struct FreeIterator {
    void operator()(rpmdbMatchIterator it) const { rpmdbFreeIterator(it); }
};
struct FreeHeader {
    void operator()(Header header) const { headerFree(header); }
};
using Ts = std::unique_ptr<std::remove_pointer_t<rpmts>, FreeTs>;
using Iterator = std::unique_ptr<std::remove_pointer_t<rpmdbMatchIterator>, FreeIterator>;
using OwnedHeader = std::unique_ptr<std::remove_pointer_t<Header>, FreeHeader>;

std::string tagText(Header header, rpmTagVal tag) {
    char* text = headerGetAsString(header, tag);
    std::string out = text != nullptr ? text : "";
    std::free(text);
    return out;
}

// What the database and a package file both tell of a header; what a package needs is read only
// of a package file, where the batch is ordered by it.
RpmHeader headerOf(Header header) {
    return {tagText(header, RPMTAG_NAME), tagText(header, RPMTAG_EVR), tagText(header, RPMTAG_ARCH),
            tagText(header, RPMTAG_SHA256HEADER)};
}

std::vector<std::string> needsOf(Header header) {
    std::vector<std::string> needs;
    rpmtd required = rpmtdNew();
    if (headerGet(header, RPMTAG_REQUIRENAME, required, HEADERGET_MINMEM) != 0) {
        while (const char* name = rpmtdNextString(required)) {
            if (!std::string_view(name).starts_with("rpmlib(")) needs.emplace_back(name);
        }
    }
    rpmtdFreeData(required);
    rpmtdFree(required);
    return needs;
}

}  // namespace

std::map<std::string, std::string> installedVersions(const std::set<std::string>& names,
                                                     const std::string& root) {
    std::map<std::string, std::string> versions;
    for (auto& [name, header] : installedHeaders(names, root)) {
        versions.emplace(name, std::move(header.version));
    }
    return versions;
}

std::map<std::string, RpmHeader> installedHeaders(const std::set<std::string>& names,
                                                  const std::string& root) {
    std::map<std::string, RpmHeader> found;
    if (names.empty()) return found;
    readRpmConfiguration();
    Ts ts(rpmtsCreate());
    rpmtsSetRootDir(ts.get(), root.c_str());
    // Reading needs no keys: the database's own headers are not verified again.
    rpmtsSetVSFlags(ts.get(), RPMVSF_MASK_NODIGESTS | RPMVSF_MASK_NOSIGNATURES);
    Iterator packages(rpmtsInitIterator(ts.get(), RPMDBI_PACKAGES, nullptr, 0));
    if (!packages) return found;
    while (Header header = rpmdbNextIterator(packages.get())) {
        const std::string name = tagText(header, RPMTAG_NAME);
        if (!names.contains(name)) continue;
        RpmHeader read = headerOf(header);
        auto [at, added] = found.emplace(name, read);
        if (!added && compareRpmVersions(read.version, at->second.version) > 0) {
            at->second = std::move(read);
        }
    }
    return found;
}

std::optional<std::string> databaseFile(const std::string& root) {
    readRpmConfiguration();
    char* expanded = rpmExpand("%{_dbpath}", nullptr);
    const std::string dbPath = expanded != nullptr ? expanded : "";
    std::free(expanded);
    if (dbPath.empty() || dbPath.front() != '/') return std::nullopt;
    // The sqlite database of rpm 4.16 and later, then the ndb and Berkeley DB ones before it.
    for (const char* file : {"rpmdb.sqlite", "Packages.db", "Packages"}) {
        const std::string path = (root == "/" ? "" : root) + dbPath + "/" + file;
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error)) return path;
    }
    return std::nullopt;
}

bool isRpmPackageName(std::string_view name) {
    if (name.empty() || name.size() > 200 || !isAsciiAlnum(name.front())) return false;
    for (char c : name) {
        if (!(isAsciiAlnum(c) || c == '-' || c == '_' || c == '+' || c == '.')) return false;
    }
    return true;
}

std::optional<RpmHeader> readPackageFile(const std::string& path) {
    readRpmConfiguration();
    Ts ts(rpmtsCreate());
    rpmtsSetVSFlags(ts.get(), RPMVSF_MASK_NODIGESTS | RPMVSF_MASK_NOSIGNATURES);
    FD_t fd = Fopen(path.c_str(), "r.ufdio");
    if (fd == nullptr || Ferror(fd)) {
        if (fd != nullptr) Fclose(fd);
        return std::nullopt;
    }
    Header read = nullptr;
    const rpmRC rc = rpmReadPackageFile(ts.get(), fd, path.c_str(), &read);
    Fclose(fd);
    OwnedHeader header(read);
    if ((rc != RPMRC_OK && rc != RPMRC_NOTTRUSTED && rc != RPMRC_NOKEY) || !header) {
        return std::nullopt;
    }
    // A source package installs nothing; rpm names its architecture as that of the build.
    if (headerIsSource(header.get())) return std::nullopt;
    RpmHeader out = headerOf(header.get());
    out.needs = needsOf(header.get());
    if (!isRpmPackageName(out.name) || out.version.empty()) return std::nullopt;
    return out;
}

bool machineTakes(const std::string& architecture) {
    readRpmConfiguration();
    return !architecture.empty() &&
           rpmMachineScore(RPM_MACHTABLE_INSTARCH, architecture.c_str()) > 0;
}

}  // namespace suite::rpm
