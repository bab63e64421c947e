#include "base/OptionParser.h"

#include <algorithm>

#include "base/CommandLine.h"

namespace vantrel {

namespace {

std::vector<std::string> toNames(std::initializer_list<std::string_view> names) {
    return {names.begin(), names.end()};
}

}  // namespace

void tOptionParser::Flag(std::initializer_list<std::string_view> names,
                         std::function<void()> handler) {
    options_.push_back({toNames(names), tKind::Flag, std::move(handler), {}, {}, {}});
}

void tOptionParser::Value(std::initializer_list<std::string_view> names, tValueHandler handler) {
    options_.push_back({toNames(names), tKind::Value, {}, std::move(handler), {}, {}});
}

void tOptionParser::OptionalValue(std::initializer_list<std::string_view> names,
                                  std::function<bool(std::string_view)> accepts,
                                  std::string fallback, tValueHandler handler) {
    options_.push_back({toNames(names),
                        tKind::OptionalValue,
                        {},
                        std::move(handler),
                        std::move(accepts),
                        std::move(fallback)});
}

const tOptionParser::tOption* tOptionParser::Find(std::string_view name) const {
    for (const tOption& option : options_) {
        if (std::find(option.names.begin(), option.names.end(), name) != option.names.end()) {
            return &option;
        }
    }
    return nullptr;
}

bool tOptionParser::Parse(const std::vector<std::string>& args, std::string& error) const {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (hasSwitch("LOG", {arg}) || hasSwitch("LOG_MEASURE", {arg})) {
            continue;
        }
        std::string name = arg;
        std::string value;
        bool inlineValue = false;
        if (const std::size_t eq = arg.find('=');
            arg.starts_with("--") && eq != std::string::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
            inlineValue = true;
        }
        if (positional_ && !arg.starts_with("-")) {
            if (!positional_(arg, error)) {
                return false;
            }
            continue;
        }
        const tOption* option = Find(name);
        if (option == nullptr) {
            if (skipUnknown_) {
                continue;
            }
            error = "unknown option '" + arg + "'";
            return false;
        }
        const bool nextIsValue = i + 1 < args.size() && !args[i + 1].starts_with("--");
        switch (option->kind) {
            case tKind::Flag:
                if (inlineValue) {
                    error = name + " takes no value";
                    return false;
                }
                option->flag();
                continue;
            case tKind::Value:
                if (!inlineValue) {
                    if (!nextIsValue) {
                        error = name + " needs a value";
                        return false;
                    }
                    value = args[++i];
                }
                break;
            case tKind::OptionalValue:
                if (!inlineValue) {
                    if (nextIsValue && option->accepts(args[i + 1])) {
                        value = args[++i];
                    } else {
                        value = option->fallback;
                    }
                }
                break;
        }
        if (!option->value(value, error)) {
            return false;
        }
    }
    return true;
}

}  // namespace vantrel
