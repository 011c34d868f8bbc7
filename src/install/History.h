#pragma once
// The install history: one record per result of an install, update, failure, cancellation or
// restore, kept as JSON lines in the state folder. Appending one line per result keeps a crash
// from costing more than the line being written; the file is cut to the newest entries by an
// atomic replace once it holds twice as many, so it stays bounded without rewriting it each time.
// A line that cannot be read (the last one of a crash mid-append) is skipped, never fatal.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/Json.h"

namespace suite {

inline constexpr const char* kHistoryFileName = "history.jsonl";

// What a restore needs to put a product back: which product, the version it had before, the
// version it got and the kind of package that brought it.
struct HistoryEntry {
    std::int64_t time = 0;  // seconds since 1970
    std::string id{};
    std::string from{};    // the version the last scan showed; empty when it was not installed
    std::string to{};      // the catalog version asked for
    std::string kind{};    // the package kind: "deb", "rpm", "pkg"
    std::string result{};  // "installed", "updated", "failed", "cancelled" or "restored"
    // Failures only, as the result event told them: where it stopped, why, and the detail.
    std::string error{}, reason{}, detail{};
    bool operator==(const HistoryEntry&) const = default;
};

Json historyEntryJson(const HistoryEntry& entry);
// Nothing for anything but an object with a text "id" and "result" and a numeric "time".
std::optional<HistoryEntry> historyEntryFrom(const Json& json);

// The entry a "result" event makes, or nothing for any other event, one without an id, or an
// item held back because its product was open.
// `installed` is the versions the last scan showed, by id.
std::optional<HistoryEntry> historyEntryFor(const Json& event,
                                            const std::map<std::string, std::string>& installed,
                                            const std::string& to, const std::string& kind,
                                            std::time_t now);

class HistoryFile {
  public:
    static constexpr std::size_t kKeep = 200;
    explicit HistoryFile(std::filesystem::path folder, std::size_t keep = kKeep);

    // Adds `entry` last; whether it reached the file.
    bool record(const HistoryEntry& entry) const;
    // The entries that can be read, newest first.
    std::vector<HistoryEntry> newestFirst() const;

    std::filesystem::path path() const { return folder_ / kHistoryFileName; }

  private:
    std::filesystem::path folder_;
    std::size_t keep_;
};

// {"type": "history", "entries": [entry, …]} with the entries as given.
Json historyEvent(const std::vector<HistoryEntry>& entries);

}  // namespace suite
