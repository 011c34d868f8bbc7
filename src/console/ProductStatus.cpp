#include "console/ProductStatus.h"

#include <algorithm>
#include <array>

#include "console/ConsoleText.h"

namespace suite::console {

namespace {

std::string_view stateText(ProductState state, const ConsoleText& text) {
    switch (state) {
        case ProductState::Missing:
            return text.missing;
        case ProductState::Update:
            return text.update;
        case ProductState::Current:
            return text.current;
        case ProductState::Held:
            return text.held;
    }
    return {};
}

// Columns line up by characters, not bytes: UTF-8 continuation bytes take no column.
std::size_t columns(std::string_view text) {
    return static_cast<std::size_t>(
        std::ranges::count_if(text, [](char c) { return (c & 0xC0) != 0x80; }));
}

}  // namespace

std::vector<ProductStatus> productStatuses(std::vector<CatalogProduct> products,
                                           const std::map<std::string, std::string>& installed,
                                           const PackageSystem& packages,
                                           const std::optional<Policy>& policy) {
    std::vector<ProductStatus> statuses;
    for (auto& product : products) {
        if (!policyShows(policy, product.item.id)) continue;
        ProductStatus status{.product = std::move(product)};
        if (const auto found = installed.find(status.product.item.id); found != installed.end()) {
            status.installed = found->second;
        }
        const InstallItem& offered = status.product.item;
        if (status.installed && packages.compareVersions(*status.installed, offered.version) >= 0) {
            status.state = ProductState::Current;
        } else if (policyBar(policy, offered.id, offered.version, offered.self) !=
                   PolicyBar::None) {
            status.state = ProductState::Held;
        } else {
            status.state = status.installed ? ProductState::Update : ProductState::Missing;
        }
        statuses.push_back(std::move(status));
    }
    return statuses;
}

const std::string& productName(const CatalogProduct& product, bool arabic) {
    return arabic ? product.nameAr : product.nameEn;
}

const char* stateWord(ProductState state) {
    switch (state) {
        case ProductState::Missing:
            return "missing";
        case ProductState::Update:
            return "update";
        case ProductState::Current:
            return "current";
        case ProductState::Held:
            return "held";
    }
    return "";
}

Json listJson(const std::vector<ProductStatus>& statuses, bool arabic) {
    Json products = Json::array();
    for (const auto& status : statuses) {
        const InstallItem& item = status.product.item;
        products.push_back({{"id", item.id},
                            {"name", productName(status.product, arabic)},
                            {"group", item.group},
                            {"installed", status.installed ? Json(*status.installed) : Json()},
                            {"available", item.version},
                            {"state", stateWord(status.state)}});
    }
    return {{"products", std::move(products)}};
}

std::string listTable(const std::vector<ProductStatus>& statuses, bool arabic) {
    const ConsoleText& text = consoleText(arabic);
    using Row = std::array<std::string, 5>;
    std::vector<Row> rows = {Row{std::string(text.id), std::string(text.name),
                                 std::string(text.installed), std::string(text.available),
                                 std::string(text.state)}};
    for (const auto& status : statuses) {
        rows.push_back(Row{status.product.item.id, productName(status.product, arabic),
                           status.installed.value_or(std::string(text.none)),
                           status.product.item.version,
                           std::string(stateText(status.state, text))});
    }
    std::array<std::size_t, 5> widths{};
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], columns(row[i]));
        }
    }
    std::string out;
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            out += row[i];
            if (i + 1 < row.size()) out += std::string(widths[i] - columns(row[i]) + 2, ' ');
        }
        out += '\n';
    }
    return out;
}

}  // namespace suite::console
