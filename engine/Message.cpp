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

std::string Render(const Message& message, const Translation& translation) {
    if (!message.Context()) return message.Source();
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

}  // namespace quorvel
