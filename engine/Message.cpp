#include "engine/Message.h"

namespace quorvel {

namespace {

// Replaces %1 to %99 in `text` with values[0], values[1], ... in one pass; a placeholder
// without a value stays.
std::string FillPlaceholders(const std::string& text, const std::vector<std::string>& values) {
    std::string filled;
    filled.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto digit = [&](std::size_t i) {
            return i < text.size() && text[i] >= '0' && text[i] <= '9';
        };
        if (text[at] == '%' && digit(at + 1) && text[at + 1] != '0') {
            std::size_t number = std::size_t(text[at + 1] - '0');
            std::size_t end = at + 2;
            if (digit(end)) number = number * 10 + std::size_t(text[end++] - '0');
            if (number <= values.size()) {
                filled += values[number - 1];
                at = end - 1;
                continue;
            }
        }
        filled += text[at];
    }
    return filled;
}

}  // namespace

std::string Printable(const std::string& verbatim) {
    static constexpr char kHex[] = "0123456789abcdef";
    const auto escaped = [](char kind, unsigned char byte) {
        return kind == 'u' ? std::string{'\\', 'u', '0', '0', kHex[byte >> 4], kHex[byte & 0xF]}
                           : std::string{'\\', 'x', kHex[byte >> 4], kHex[byte & 0xF]};
    };
    std::string shown;
    shown.reserve(verbatim.size());
    for (std::size_t at = 0; at < verbatim.size(); ++at) {
        const auto byte = static_cast<unsigned char>(verbatim[at]);
        if (byte < 0x80) {
            shown += byte < 0x20 || byte == 0x7F ? escaped('x', byte) : std::string(1, char(byte));
            continue;
        }
        const std::size_t length = byte >= 0xC2 && byte < 0xE0   ? 2
                                   : byte >= 0xE0 && byte < 0xF0 ? 3
                                   : byte >= 0xF0 && byte < 0xF5 ? 4
                                                                 : 0;
        bool whole = length > 0 && at + length <= verbatim.size();
        for (std::size_t i = 1; whole && i < length; ++i) {
            whole = (static_cast<unsigned char>(verbatim[at + i]) & 0xC0) == 0x80;
        }
        if (!whole) {
            // No UTF-8: a byte of Latin-1's controls is one to an 8-bit terminal.
            shown += byte < 0xA0 ? escaped('x', byte) : std::string(1, char(byte));
            continue;
        }
        const auto second = static_cast<unsigned char>(verbatim[at + 1]);
        if (byte == 0xC2 && second < 0xA0) {
            shown += escaped('u', second);
        } else {
            shown.append(verbatim, at, length);
        }
        at += length - 1;
    }
    return shown;
}

std::string Render(const Message& message, const Translation& translation) {
    if (!message.Context()) return Printable(message.Source());
    const auto count = message.Count();
    std::string text = translation(message);
    if (text.empty()) {
        text = message.Singular() && count == 1 ? message.Singular() : message.Source();
    }
    if (count) {
        const std::string number = std::to_string(*count);
        for (auto at = text.find("%n"); at != std::string::npos; at = text.find("%n", at)) {
            text.replace(at, 2, number);
            at += number.size();
        }
    }
    std::vector<std::string> values;
    for (const Message& arg : message.Args()) values.push_back(Render(arg, translation));
    return FillPlaceholders(text, values);
}

std::string English(const Message& message) {
    return Render(message, [](const Message&) { return std::string(); });
}

Message Listed(const std::vector<std::string>& names) {
    std::string list;
    for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
    return list;
}

Message ListedFew(const std::vector<std::string>& names, std::size_t most) {
    if (names.size() <= most) return Listed(names);
    const std::vector<std::string> first(names.begin(),
                                         names.begin() + static_cast<std::ptrdiff_t>(most));
    return TrN("Files", "%1 and %n more", "%1 and %n more")
        .Count(static_cast<std::int64_t>(names.size() - most))
        .Arg(Listed(first));
}

}  // namespace quorvel
