#include "backends/macos/PropertyList.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "common/Utf8.h"

namespace suite {

namespace {

// libplist parses and frees recursively, one stack frame per nesting level, and copies an
// object once for every reference to it. A file of a few hundred kilobytes nested deeply enough
// overflows the stack, and a binary list of a few hundred bytes whose arrays each refer twice to
// the next expands into billions of nodes. Both are checked before the library sees the data, as
// are an XML list's dates, which the library reads without checking their ranges.
constexpr std::size_t kMaxDepth = 256;
constexpr std::uint32_t kMaxNodes = 200'000;

bool isXmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

int twoDigits(std::string_view text, std::size_t at) {
    char tens = text[at], ones = text[at + 1];
    if (tens < '0' || tens > '9' || ones < '0' || ones > '9') return -1;
    return (tens - '0') * 10 + (ones - '0');
}

// The one form a list's date takes, "2024-02-29T23:59:60Z", naming a day that exists. libplist
// turns the text into an index of its month table without checking it first.
bool isListDate(std::string_view text) {
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' ||
        text[13] != ':' || text[16] != ':' || text[19] != 'Z') {
        return false;
    }
    int century = twoDigits(text, 0), year = twoDigits(text, 2), month = twoDigits(text, 5),
        day = twoDigits(text, 8);
    if (century < 0 || year < 0 || month < 1 || month > 12 || day < 1) return false;
    int fullYear = century * 100 + year;
    bool leap = fullYear % 4 == 0 && (fullYear % 100 != 0 || fullYear % 400 == 0);
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) return false;
    int hour = twoDigits(text, 11), minute = twoDigits(text, 14), second = twoDigits(text, 17);
    return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 60;
}

// The markup of an XML list, read the way libplist reads it, only as far as needed to bound its
// nesting and check its dates. Comments, processing instructions, the document type and character
// data are skipped where the library skips them, so a closing tag hidden in one of them is not
// counted. Markup whose end two readings could place differently (a quoted ">" or "?>", an
// internal document type) and anything the library would refuse anyway are refused.
class XmlShape {
  public:
    explicit XmlShape(std::string_view data) : data_(data) {}

    bool withinLimits() {
        std::size_t depth = 0;
        for (;;) {
            while (at_ < data_.size() && isXmlSpace(data_[at_])) ++at_;
            if (at_ == data_.size()) return depth == 0;
            if (data_[at_] != '<') return false;
            ++at_;
            if (skipping("?")) {
                // "<?>" is whole to a reader that looks for "?>" from the "?" on.
                if (data_.substr(at_).starts_with('>') || !skipPastUnquoted("?>")) return false;
            } else if (skipping("!--")) {
                if (!skipComment()) return false;
            } else if (skipping("!DOCTYPE")) {
                std::size_t end = data_.find_first_of("[>", at_);
                if (end == std::string_view::npos || data_[end] != '>' || !evenQuotesBefore(end)) {
                    return false;
                }
                at_ = end + 1;
            } else if (!element(depth)) {
                return false;
            }
        }
    }

  private:
    // Moves past `word` when the text goes on with it.
    bool skipping(std::string_view word) {
        if (!data_.substr(at_).starts_with(word)) return false;
        at_ += word.size();
        return true;
    }

    bool skipPast(std::string_view end) {
        std::size_t found = data_.find(end, at_);
        if (found == std::string_view::npos) return false;
        at_ = found + end.size();
        return true;
    }

    // "<!-->" and "<!--->" end at once for a reader that looks for "-->" from the first dashes
    // on, and only at a later "-->" for one that looks after them.
    bool skipComment() {
        if (data_.substr(at_).starts_with('>') || data_.substr(at_).starts_with("->")) return false;
        return skipPast("-->");
    }

    // libplist skips quoted text while it looks for the end of some markup; where a quote is
    // still open at the first end, the two readings part.
    bool evenQuotesBefore(std::size_t end) const {
        return std::count(data_.begin() + at_, data_.begin() + end, '"') % 2 == 0;
    }

    bool skipPastUnquoted(std::string_view end) {
        std::size_t found = data_.find(end, at_);
        if (found == std::string_view::npos || !evenQuotesBefore(found)) return false;
        at_ = found + end.size();
        return true;
    }

    // One tag, and for a value held as text its content up to the closing tag.
    bool element(std::size_t& depth) {
        std::size_t nameEnd = data_.find_first_of(" \t\r\n<>", at_);
        std::size_t end = data_.find_first_of("<>", at_);
        if (end == std::string_view::npos || data_[end] != '>' || !evenQuotesBefore(end)) {
            return false;
        }
        std::string_view name = data_.substr(at_, nameEnd - at_);
        bool empty = data_[end - 1] == '/';
        if (empty && name.ends_with('/')) name.remove_suffix(1);
        at_ = end + 1;
        if (name == "array" || name == "dict") return empty || ++depth <= kMaxDepth;
        if (name == "/array" || name == "/dict") return depth-- > 0;
        if (name == "plist" || name == "/plist") return true;
        for (std::string_view text :
             {"key", "string", "data", "date", "integer", "real", "true", "false"}) {
            if (name == text) return empty || textUpToClosingTag(name);
        }
        return false;
    }

    bool textUpToClosingTag(std::string_view name) {
        std::size_t start = at_;
        bool plain = true;  // no comment or character data inside
        for (;;) {
            std::size_t open = data_.find('<', at_);
            if (open == std::string_view::npos) return false;
            at_ = open + 1;
            if (skipping("!--")) {
                if (!skipComment()) return false;
            } else if (skipping("![CDATA[")) {
                if (!skipPast("]]>")) return false;
            } else if (skipping("/") && skipping(name)) {
                while (at_ < data_.size() && isXmlSpace(data_[at_])) ++at_;
                if (!skipping(">")) return false;
                return name != "date" || isDate(data_.substr(start, open - start), plain);
            } else {
                return false;
            }
            plain = false;
        }
    }

    static bool isDate(std::string_view text, bool plain) {
        while (!text.empty() && isXmlSpace(text.front())) text.remove_prefix(1);
        while (!text.empty() && isXmlSpace(text.back())) text.remove_suffix(1);
        return plain && (text.empty() || isListDate(text));
    }

    std::string_view data_;
    std::size_t at_ = 0;
};

std::uint64_t bigEndian(std::string_view bytes) {
    std::uint64_t value = 0;
    for (char byte : bytes) value = (value << 8) | static_cast<unsigned char>(byte);
    return value;
}

// The object graph of a binary list, read only as far as needed to bound its expanded size.
class BinaryShape {
  public:
    explicit BinaryShape(std::string_view data) : data_(data) {}

    bool withinLimits() {
        constexpr std::size_t kTrailer = 32;
        if (data_.size() < 8 + kTrailer) return false;
        std::string_view trailer = data_.substr(data_.size() - kTrailer);
        offsetSize_ = static_cast<unsigned char>(trailer[6]);
        refSize_ = static_cast<unsigned char>(trailer[7]);
        count_ = bigEndian(trailer.substr(8, 8));
        std::uint64_t top = bigEndian(trailer.substr(16, 8));
        std::uint64_t table = bigEndian(trailer.substr(24, 8));
        end_ = data_.size() - kTrailer;
        if (offsetSize_ < 1 || offsetSize_ > 8 || refSize_ < 1 || refSize_ > 8) return false;
        if (count_ == 0 || top >= count_ || table > end_ || count_ > (end_ - table) / offsetSize_) {
            return false;
        }
        // Writers store each distinct value once, so a list with more objects than the expanded
        // limit exceeds it anyway; refusing early keeps the bookkeeping below small.
        if (count_ > kMaxNodes) return false;
        table_ = static_cast<std::size_t>(table);
        state_.assign(count_, kUnseen);
        nodes_.assign(count_, 0);
        depth_.assign(count_, 0);
        return visit(static_cast<std::size_t>(top));
    }

  private:
    static constexpr std::uint8_t kUnseen = 0, kOpen = 1, kDone = 2;

    struct Children {
        std::size_t first = 0;  // where the references start
        std::size_t count = 0;
    };

    // The references held by object `index`; nothing for one that lies outside the data.
    std::optional<Children> childrenOf(std::size_t index) const {
        std::uint64_t offset = bigEndian(data_.substr(table_ + index * offsetSize_, offsetSize_));
        if (offset >= end_) return std::nullopt;
        auto at = static_cast<std::size_t>(offset);
        auto marker = static_cast<unsigned char>(data_[at]);
        unsigned kind = marker >> 4;
        bool container = kind == 0xA || kind == 0xB || kind == 0xC || kind == 0xD;
        if (!container) return Children{};
        std::uint64_t count = marker & 0x0F;
        ++at;
        if (count == 0x0F) {  // the count follows as an integer object
            if (at >= end_) return std::nullopt;
            auto intMarker = static_cast<unsigned char>(data_[at]);
            std::size_t width = std::size_t{1} << (intMarker & 0x0F);
            if ((intMarker >> 4) != 0x1 || width > 8 || end_ - at - 1 < width) return std::nullopt;
            count = bigEndian(data_.substr(at + 1, width));
            at += 1 + width;
        }
        if (kind == 0xD) {
            if (count > end_) return std::nullopt;
            count *= 2;  // keys, then values
        }
        if (at > end_ || count > (end_ - at) / refSize_) return std::nullopt;
        return Children{at, static_cast<std::size_t>(count)};
    }

    std::size_t childAt(const Children& children, std::size_t k) const {
        return static_cast<std::size_t>(
            bigEndian(data_.substr(children.first + k * refSize_, refSize_)));
    }

    // Depth-first without recursion (the point is not to trust the nesting), remembering each
    // finished object's expanded size and height so that shared objects are measured once.
    bool visit(std::size_t top) {
        struct Frame {
            std::size_t index;
            Children children;
            std::size_t next = 0;
            std::uint32_t nodes = 1;
            std::uint32_t height = 1;
        };
        std::vector<Frame> stack;
        auto open = [&](std::size_t index) {
            auto children = childrenOf(index);
            if (!children || stack.size() >= kMaxDepth) return false;
            state_[index] = kOpen;
            stack.push_back(Frame{index, *children});
            return true;
        };
        if (!open(top)) return false;
        while (!stack.empty()) {
            Frame& frame = stack.back();
            if (frame.next < frame.children.count) {
                std::size_t child = childAt(frame.children, frame.next++);
                if (child >= count_ || state_[child] == kOpen) return false;  // dangling or a cycle
                if (state_[child] == kUnseen) {
                    if (!open(child)) return false;
                    continue;
                }
                frame.nodes = std::min(frame.nodes + nodes_[child], kMaxNodes + 1);
                frame.height = std::max<std::uint32_t>(frame.height, depth_[child] + 1u);
                if (frame.nodes > kMaxNodes || frame.height > kMaxDepth) return false;
                continue;
            }
            Frame done = frame;
            stack.pop_back();
            state_[done.index] = kDone;
            nodes_[done.index] = done.nodes;
            depth_[done.index] = static_cast<std::uint16_t>(done.height);
            if (!stack.empty()) {
                Frame& parent = stack.back();
                parent.nodes = std::min(parent.nodes + done.nodes, kMaxNodes + 1);
                parent.height = std::max<std::uint32_t>(parent.height, done.height + 1);
                if (parent.nodes > kMaxNodes || parent.height > kMaxDepth) return false;
            }
        }
        return true;
    }

    std::string_view data_;
    std::size_t end_ = 0;  // where the trailer starts
    std::size_t table_ = 0;
    std::size_t offsetSize_ = 0;
    std::size_t refSize_ = 0;
    std::uint64_t count_ = 0;
    std::vector<std::uint8_t> state_;
    std::vector<std::uint32_t> nodes_;
    std::vector<std::uint16_t> depth_;
};

bool isBinaryPlist(std::string_view data) {
    return data.starts_with("bplist00");
}

}  // namespace

// A property list of either form (the reader tells XML from binary by the "bplist00" magic);
// nothing unless it is a dictionary.
Plist parsePlistDictionary(std::string_view data) {
    if (data.empty() || data.size() > kMaxPlistBytes) return nullptr;
    bool safe =
        isBinaryPlist(data) ? BinaryShape(data).withinLimits() : XmlShape(data).withinLimits();
    if (!safe) return nullptr;
    plist_t root = nullptr;
    plist_from_memory(data.data(), static_cast<std::uint32_t>(data.size()), &root);
    Plist owned(root);
    if (!owned || plist_get_node_type(root) != PLIST_DICT) return nullptr;
    return owned;
}

// A version is text: a value of another type, or bytes that are not UTF-8 (a binary list can
// hold any), is not one and could not travel to the page anyway.
std::optional<std::string> plistString(const Plist& dictionary, const char* key) {
    plist_t node = plist_dict_get_item(static_cast<plist_t>(dictionary.get()), key);
    if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
    const char* text = plist_get_string_ptr(node, nullptr);
    if (text == nullptr) return std::nullopt;
    std::string value(text);
    if (!isValidUtf8(value)) return std::nullopt;
    return value;
}

}  // namespace suite
