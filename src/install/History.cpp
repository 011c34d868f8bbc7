#include "install/History.h"

#include <algorithm>
#include <string_view>
#include <system_error>

#include "platform/Files.h"

namespace suite {

namespace {

// One entry's line: the bridge cuts a failure's detail to 300 bytes, and ids and versions are
// short, so a longer line is not one of ours.
constexpr std::size_t kMaxLineBytes = 4096;
// Twice `keep` lines of the longest kind, with room: a file past it was not written by us.
constexpr std::size_t kMaxFileBytes = 8u << 20;

std::string textOf(const Json& json, const char* key) {
    return stringMember(json, key).value_or("");
}

std::vector<HistoryEntry> readEntries(std::string_view text) {
    std::vector<HistoryEntry> entries;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const auto line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (auto entry = historyEntryFrom(parseJson(line))) entries.push_back(std::move(*entry));
    }
    return entries;
}

std::optional<std::string> lineOf(const HistoryEntry& entry) {
    auto line = compactJson(historyEntryJson(entry));
    if (!line || line->size() > kMaxLineBytes) return std::nullopt;
    return *line + "\n";
}

}  // namespace

Json historyEntryJson(const HistoryEntry& entry) {
    Json json = {{"time", entry.time}, {"id", entry.id},     {"from", entry.from},
                 {"to", entry.to},     {"kind", entry.kind}, {"result", entry.result}};
    if (!entry.error.empty()) json["error"] = entry.error;
    if (!entry.reason.empty()) json["reason"] = entry.reason;
    if (!entry.detail.empty()) json["detail"] = entry.detail;
    return json;
}

std::optional<HistoryEntry> historyEntryFrom(const Json& json) {
    if (!json.is_object()) return std::nullopt;
    const auto time = json.find("time");
    const auto id = stringMember(json, "id");
    const auto result = stringMember(json, "result");
    if (time == json.end() || !time->is_number_integer() || !id || !result) return std::nullopt;
    return HistoryEntry{.time = time->get<std::int64_t>(),
                        .id = *id,
                        .from = textOf(json, "from"),
                        .to = textOf(json, "to"),
                        .kind = textOf(json, "kind"),
                        .result = *result,
                        .error = textOf(json, "error"),
                        .reason = textOf(json, "reason"),
                        .detail = textOf(json, "detail")};
}

std::optional<HistoryEntry> historyEntryFor(const Json& event,
                                            const std::map<std::string, std::string>& installed,
                                            const std::string& to, const std::string& kind,
                                            std::time_t now) {
    if (stringMember(event, "type") != "result") return std::nullopt;
    const auto id = stringMember(event, "id");
    const auto ok = boolMember(event, "ok");
    if (!id || id->empty() || !ok) return std::nullopt;
    const auto before = installed.find(*id);
    HistoryEntry entry{.time = now,
                       .id = *id,
                       .from = before == installed.end() ? "" : before->second,
                       .to = to,
                       .kind = kind};
    if (*ok) {
        entry.result = entry.from.empty() ? "installed" : "updated";
        return entry;
    }
    entry.error = textOf(event, "error");
    // Held back while the product was open: nothing was tried, and the page asks again each time
    // its window regains focus, which would fill the history with non-events.
    if (entry.error == "running") return std::nullopt;
    entry.reason = textOf(event, "reason");
    entry.detail = textOf(event, "detail");
    // The password dialog dismissed, or the user's own cancel: either way nothing changed by
    // anyone's fault, which the history tells apart from a failure.
    const bool cancelled = entry.error == "cancelled" || entry.reason == "cancelled";
    entry.result = cancelled ? "cancelled" : "failed";
    return entry;
}

HistoryFile::HistoryFile(std::filesystem::path folder, std::size_t keep)
    : folder_(std::move(folder)), keep_(std::max<std::size_t>(keep, 1)) {}

bool HistoryFile::record(const HistoryEntry& entry) const {
    const auto line = lineOf(entry);
    if (!line || folder_.empty()) return false;
    std::error_code error;
    std::filesystem::create_directories(folder_, error);
    const auto text = readWholeFile(path(), kMaxFileBytes);
    if (text && std::count(text->begin(), text->end(), '\n') < std::ptrdiff_t(2 * keep_)) {
        // A line a crash cut short gets its end here, so the new entry is not glued to it.
        const bool damagedEnd = !text->empty() && text->back() != '\n';
        return appendToFile(folder_, kHistoryFileName, (damagedEnd ? "\n" : "") + *line);
    }
    // Full, too large to be ours, or absent: the newest entries are written anew in one atomic
    // replace, so a crash during the cut leaves the old file whole.
    auto entries = text ? readEntries(*text) : std::vector<HistoryEntry>{};
    if (entries.size() >= keep_) entries.erase(entries.begin(), entries.end() - (keep_ - 1));
    std::string content;
    for (const auto& kept : entries) content += lineOf(kept).value_or("");
    return writeFileAtomically(path(), content + *line);
}

std::vector<HistoryEntry> HistoryFile::newestFirst() const {
    const auto text = readWholeFile(path(), kMaxFileBytes);
    auto entries = text ? readEntries(*text) : std::vector<HistoryEntry>{};
    std::reverse(entries.begin(), entries.end());
    return entries;
}

Json historyEvent(const std::vector<HistoryEntry>& entries) {
    Json list = Json::array();
    for (const auto& entry : entries) list.push_back(historyEntryJson(entry));
    return {{"type", "history"}, {"entries", std::move(list)}};
}

}  // namespace suite
