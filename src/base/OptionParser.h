#pragma once

#include <charconv>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vantrel {

// The command-line options of the three programs, read one way: "--name
// value" or "--name=value"; a flag takes no value. A value never starts
// with "--" ("--export --simulate" forgot the file name; "--export=--odd"
// still names one). The log switches (-LOG, -LOG_MEASURE, also with "/") are
// left to the log and skipped here.
class tOptionParser {
public:
    // Returns false with `error` telling what is wrong with the value.
    using tValueHandler = std::function<bool(const std::string& value, std::string& error)>;

    // `names` are the option and its aliases ("--help", "-h").
    void Flag(std::initializer_list<std::string_view> names, std::function<void()> handler);
    void Value(std::initializer_list<std::string_view> names, tValueHandler handler);
    // A value that may be left out: the next argument is taken only when
    // `accepts` it; without one the handler gets `fallback`.
    void OptionalValue(std::initializer_list<std::string_view> names,
                       std::function<bool(std::string_view)> accepts, std::string fallback,
                       tValueHandler handler);
    // Options the parser does not know are passed over instead of refused.
    void SkipUnknown() { skipUnknown_ = true; }
    // Arguments that are no option (they do not start with "-") go to
    // `handler`, in order; without one they are unknown options.
    void Positional(tValueHandler handler) { positional_ = std::move(handler); }

    // False at the first argument it cannot use, with `error` saying why.
    bool Parse(const std::vector<std::string>& args, std::string& error) const;

    // A whole number or a plain decimal, all of `text` and nothing else.
    template <typename T>
    static bool Number(std::string_view text, T& value) {
        const char* end = text.data() + text.size();
        const auto [ptr, ec] = std::from_chars(text.data(), end, value);
        return !text.empty() && ec == std::errc() && ptr == end;
    }

private:
    enum class tKind { Flag, Value, OptionalValue };
    struct tOption {
        std::vector<std::string> names;
        tKind kind;
        std::function<void()> flag;
        tValueHandler value;
        std::function<bool(std::string_view)> accepts;
        std::string fallback;
    };
    const tOption* Find(std::string_view name) const;

    std::vector<tOption> options_;
    tValueHandler positional_;
    bool skipUnknown_ = false;
};

}  // namespace vantrel
