#include "platform/macos/PropertyList.h"

#include <cstdint>
#include <vector>

#include "common/Utf8.h"

namespace suite {

namespace {

// libplist parses and frees recursively, one stack frame per nesting level, and copies an
// object once for every reference to it. A file of a few hundred kilobytes nested deeply enough
// overflows the stack, and a binary list of a few hundred bytes whose arrays each refer twice to
// the next expands into billions of nodes. Both are checked before the library sees the data.
constexpr std::size_t kMaxDepth = 256;
constexpr std::uint32_t kMaxNodes = 200'000;

bool startsWithWord(std::string_view text, std::string_view word) {
    if (!text.starts_with(word) || text.size() == word.size()) return false;
    char next = text[word.size()];
    return next == '>' || next == '/' || next == ' ' || next == '\t' || next == '\n' ||
           next == '\r';
}

// Counts container tags only; a comment that happens to hold one can only make the count larger,
// which refuses an odd file rather than letting a deep one through.
bool xmlNestingWithinLimit(std::string_view data) {
    std::size_t depth = 0;
    for (std::size_t at = data.find('<'); at != std::string_view::npos;
         at = data.find('<', at + 1)) {
        std::string_view tag = data.substr(at + 1);
        bool closing = tag.starts_with('/');
        if (closing) tag.remove_prefix(1);
        if (!startsWithWord(tag, "array") && !startsWithWord(tag, "dict")) continue;
        if (closing) {
            if (depth > 0) --depth;
            continue;
        }
        std::size_t end = tag.find('>');
        if (end != std::string_view::npos && end > 0 && tag[end - 1] == '/') continue;  // empty
        if (++depth > kMaxDepth) return false;
    }
    return true;
}

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

bool isBinaryPlist(std::string_view data) { return data.starts_with("bplist00"); }

}  // namespace

// A property list of either form (the reader tells XML from binary by the "bplist00" magic);
// nothing unless it is a dictionary.
Plist parsePlistDictionary(std::string_view data) {
    if (data.empty() || data.size() > kMaxPlistBytes) return nullptr;
    bool safe =
        isBinaryPlist(data) ? BinaryShape(data).withinLimits() : xmlNestingWithinLimit(data);
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
