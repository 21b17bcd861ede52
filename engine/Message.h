#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvel {

// A text for the user as the engine has it: English, with what a translation needs to give
// it in the user's language. A marked text is looked up by its context and English source,
// and its placeholders %1, %2, ... take the values given, each a text of its own; %n takes
// the count its plural forms depend on. A text that is nobody's to translate (a path, the
// system's own words) stands verbatim.
class Message {
  public:
    Message(std::string verbatim) : source_(std::move(verbatim)) {}

    // The next placeholder's value.
    Message& Arg(Message value) & {
        args_.push_back(std::move(value));
        return *this;
    }
    Message&& Arg(Message value) && { return std::move(Arg(std::move(value))); }
    Message&& Arg(std::int64_t number) && { return std::move(Arg(std::to_string(number))); }
    // The count a text marked with TrN takes its plural form from.
    Message&& Count(std::int64_t count) && {
        count_ = count;
        return std::move(*this);
    }

    const char* Context() const { return context_; }  // none: verbatim
    const std::string& Source() const { return source_; }
    // A text with plural forms: its English singular, which is also what tells it apart.
    const char* Singular() const { return singular_; }
    const std::vector<Message>& Args() const { return args_; }
    std::optional<std::int64_t> Count() const { return count_; }

    friend Message Tr(const char* context, const char* source);
    friend Message TrN(const char* context, const char* plural, const char* singular);

  private:
    Message(const char* context, const char* source, const char* singular)
        : context_(context), source_(source), singular_(singular) {}

    const char* context_ = nullptr;
    std::string source_;
    const char* singular_ = nullptr;
    std::vector<Message> args_;
    std::optional<std::int64_t> count_;
};

// A text marked for the translators, who find it by its context. The translation tools read
// Tr as QT_TRANSLATE_NOOP, and TrN, a text with plural forms whose count is given with
// Count, as QT_TRANSLATE_N_NOOP3 with the English singular as its comment; so each takes
// its literals and nothing else.
inline Message Tr(const char* context, const char* source) {
    return {context, source, nullptr};
}
inline Message TrN(const char* context, const char* plural, const char* singular) {
    return {context, plural, singular};
}

// A marked text's translation, in the plural form its count asks for; empty where there is
// none.
using Translation = std::function<std::string(const Message& message)>;

// The text in a language: each marked text as `translation` gives it, or in English where
// it gives none, %n the count and the placeholders the values, each given the same way. A
// value's own "%1" stays as it is; a verbatim text is shown Printable.
std::string Render(const Message& message, const Translation& translation);

// The English text.
std::string English(const Message& message);

// Paths or names one after another, as a log line lists them.
Message Listed(const std::vector<std::string>& names);
// The first `most` of them listed so, then how many more there are: for a question, whose
// box must fit the screen.
Message ListedFew(const std::vector<std::string>& names, std::size_t most = 10);

// A text that is nobody's to translate (a path, a title, the system's words) as it may be
// shown: what a terminal would take as an order rather than show (the controls of ASCII
// and of Latin-1, DEL) written as \xNN or \u00NN.
std::string Printable(const std::string& verbatim);

}  // namespace quorvel
