#include "console/ConsoleRun.h"

#include <cmath>
#include <cstdio>

#include "console/ConsoleText.h"

namespace suite::console {

namespace {

std::string phaseText(const std::string& phase, const ConsoleText& text) {
    if (phase == "download") return std::string(text.download);
    if (phase == "verify") return std::string(text.verify);
    if (phase == "password") return std::string(text.password);
    if (phase == "install") return std::string(text.install);
    return phase;
}

// Megabytes with one decimal, as the products view counts them.
std::string megabytes(std::uint64_t bytes, const ConsoleText& text) {
    char number[32];
    std::snprintf(number, sizeof number, "%.1f", static_cast<double>(bytes) / 1e6);
    return fillText(text.megabytes, {{"size", number}});
}

// The failure as the install log words it: where it stopped, and why where that is known.
std::string failureWords(const Json& event) {
    std::string words = stringMember(event, "error").value_or("install");
    if (const auto reason = stringMember(event, "reason")) words += ": " + *reason;
    if (const auto detail = stringMember(event, "detail")) words += ", " + *detail;
    return words;
}

}  // namespace

ConsoleRun::ConsoleRun(ConsoleSettings settings, ConsoleFlows flows, Terminal& terminal,
                       std::function<void(int status)> done)
    : settings_(std::move(settings)),
      terminal_(terminal),
      done_(std::move(done)),
      packages_(flows.catalogServices.packages),
      catalog_(std::move(flows.catalog), flows.catalogServices,
               [this](const Json& event) {
                   const auto type = stringMember(event, "type");
                   if (type == "catalog") catalogAnswered(event);
                   if (type == "scanned") scanned(event);
               }),
      install_(
          std::move(flows.install), flows.installServices,
          [this](const Json& event) { installEvent(event); }, std::move(flows.prompt)) {}

void ConsoleRun::start() {
    catalog_.fetch(settings_.catalogUrls);
}

void ConsoleRun::catalogAnswered(const Json& event) {
    const ConsoleText& text = consoleText(settings_.arabic);
    const auto document = stringMember(event, "text");
    if (boolMember(event, "ok") != true || !document) {
        const std::string_view reason = boolMember(event, "offline") == true ? text.offline
                                        : event.contains("reason")           ? text.refused
                                                                             : text.unavailable;
        terminal_.error(fillText(text.catalogFailed, {{"reason", std::string(reason)}}));
        return finish(kFailed);
    }
    products_ = hostProducts(parseJson(*document), packages_.kind(), packages_.architecture(),
                             settings_.rules);
    std::vector<Json> items;
    for (const auto& product : products_) items.push_back(detectionOf(product.item));
    catalog_.scan(std::move(items));
}

void ConsoleRun::scanned(const Json& event) {
    std::map<std::string, std::string> installed;
    const Json found = objectMemberOrEmpty(event, "installed");
    for (const auto& [id, version] : found.items()) {
        if (version.is_string()) installed[id] = version.get<std::string>();
    }
    const auto statuses = productStatuses(products_, installed, packages_, settings_.policy);
    const ConsoleText& text = consoleText(settings_.arabic);
    switch (settings_.line.request) {
        case CommandLine::Request::List:
            terminal_.out(settings_.line.json ? listJson(statuses, settings_.arabic).dump(2) + "\n"
                                              : listTable(statuses, settings_.arabic));
            return finish(kDone);
        case CommandLine::Request::Check: {
            std::string lines;
            int count = 0;
            for (const auto& status : statuses) {
                if (status.state != ProductState::Update) continue;
                ++count;
                lines += "  " + productName(status.product, settings_.arabic) + " " +
                         *status.installed + " \u2192 " + status.product.item.version + "\n";
            }
            if (count == 0) {
                terminal_.out(text.upToDate);
                return finish(kNothingToDo);
            }
            terminal_.out(fillText(text.updatesAvailable, {{"count", std::to_string(count)}}) +
                          lines);
            return finish(kDone);
        }
        default:
            return update(statuses);
    }
}

void ConsoleRun::update(const std::vector<ProductStatus>& statuses) {
    const ConsoleText& text = consoleText(settings_.arabic);
    std::vector<InstallItem> chosen;
    int status = kDone;
    const auto choose = [&](const ProductStatus& product) {
        const bool wanted =
            product.state == ProductState::Update || product.state == ProductState::Missing;
        if (wanted && !waiting_.contains(product.product.item.id)) {
            chosen.push_back(product.product.item);
            waiting_[product.product.item.id].name = productName(product.product, settings_.arabic);
        }
    };
    if (settings_.line.all) {
        for (const auto& product : statuses) {
            if (product.state == ProductState::Update) choose(product);
        }
    }
    for (const auto& id : settings_.line.ids) {
        const auto found = std::ranges::find_if(
            statuses, [&](const ProductStatus& product) { return product.product.item.id == id; });
        const bool offered = std::ranges::any_of(
            products_, [&](const CatalogProduct& product) { return product.item.id == id; });
        if (found == statuses.end() && !offered) {
            terminal_.error(fillText(text.unknownProduct, {{"id", id}}));
            status = kUsage;
        } else if (found == statuses.end() || found->state == ProductState::Held) {
            terminal_.error(fillText(text.barred, {{"id", id}}));
            if (status == kDone) status = kRefusedByPolicy;
        } else {
            choose(*found);
        }
    }
    // Nothing installs when part of the line is wrong: a script learns of it before any change.
    if (status != kDone) return finish(status);
    if (chosen.empty()) {
        terminal_.out(text.nothingToDo);
        return finish(kNothingToDo);
    }
    if (!settings_.line.yes) {
        if (!terminal_.answerable()) {
            terminal_.error(text.needYes);
            return finish(kUsage);
        }
        std::uint64_t bytes = 0;
        for (const auto& item : chosen) bytes += item.size;
        const std::string question =
            fillText(text.confirm,
                     {{"count", std::to_string(chosen.size())}, {"size", megabytes(bytes, text)}});
        if (!terminal_.confirm(question, text.yes)) {
            terminal_.out(text.declined);
            return finish(kFailed);
        }
    }
    // Nothing chosen is barred (the states say so); the policy still names where packages come
    // from.
    install_.install(withMirror(InstallRequest{.items = std::move(chosen)}, settings_.policy));
}

void ConsoleRun::installEvent(const Json& event) {
    const ConsoleText& text = consoleText(settings_.arabic);
    const auto type = stringMember(event, "type");
    const std::string id = stringMember(event, "id").value_or("");
    const auto waiting = waiting_.find(id);
    if (waiting == waiting_.end()) return;
    const std::string name = waiting->second.name;
    if (settings_.shareWithWindow) settings_.shareWithWindow(event);
    if (type == "progress") {
        const std::string phase = stringMember(event, "phase").value_or("");
        std::string line = name + ": " + phaseText(phase, text);
        // polkit's text prompt comes next on the terminal, on a line of its own.
        if (terminal_.watched() && phase != "password") {
            const auto pct = event.find("pct");
            if (phase == "download" && pct != event.end() && pct->is_number()) {
                line += " " + std::to_string(std::lround(pct->get<double>())) + " %";
            }
            terminal_.status(line);
        } else if (waiting->second.shownPhase != phase) {
            waiting->second.shownPhase = phase;
            terminal_.out(line + "\n");
        }
        return;
    }
    if (type != "result") return;
    waiting_.erase(waiting);
    terminal_.status("");
    if (boolMember(event, "ok") == true) {
        terminal_.out(
            fillText(text.installedAs,
                     {{"name", name}, {"version", stringMember(event, "version").value_or("")}}));
    } else {
        failed_ = true;
        terminal_.error(
            stringMember(event, "error") == "running"
                ? fillText(text.open, {{"name", name}})
                : fillText(text.failed, {{"name", name}, {"reason", failureWords(event)}}));
    }
    if (waiting_.empty()) finish(failed_ ? kFailed : kDone);
}

void ConsoleRun::finish(int status) {
    if (finished_) return;
    finished_ = true;
    done_(status);
}

}  // namespace suite::console
