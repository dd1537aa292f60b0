// The command line of the library's tools and of the programs that use them, read by
// getopt_long from one table of options a program, so that all of them take the same
// forms (--name value, --name=value, -x value, --, abbreviated long names) and name a
// bad option or value in the same one line.
#pragma once

#include <getopt.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace commandline {

// The exit code of a command line that cannot be read, as getopt's users have it.
inline constexpr int kUsageError = 2;

template <typename Options>
struct OptionRule {
    const char* name;       // the long name, without its dashes
    char shortName;         // 0: none
    const char* valueRule;  // what a value must be, for messages; null: a flag
    bool (*apply)(Options& options, std::string_view value);
};

inline bool parseWhole(std::string_view text, std::int32_t low, std::int32_t high,
                       std::int32_t& value) {
    const char* end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(text.data(), end, value);
    return status == std::errc{} && stop == end && value >= low && value <= high;
}

inline bool parseReal(std::string_view text, double low, double high, double& value) {
    const char* end = text.data() + text.size();
    const auto [stop, status] = std::from_chars(text.data(), end, value);
    return status == std::errc{} && stop == end && std::isfinite(value) && value >= low &&
           value <= high;
}

// getopt takes whatever follows as the value: an option there is a forgotten value, and
// a file named after it would be a surprise. "-" is standard input or output.
inline bool isFileName(std::string_view text) {
    return !text.empty() && (text == "-" || !text.starts_with('-'));
}

// Prints the error as the one line a program says about its command line; returns the
// exit code for it.
inline int usageError(const char* program, const std::string& error) {
    std::fprintf(stderr, "%s: %s\n", program, error.c_str());
    return kUsageError;
}

namespace detail {

// getopt's code for a rule: its short name, or past every character for long names only.
constexpr int kFirstLongCode = 256;

template <typename Options>
int codeOf(const OptionRule<Options>& rule, std::size_t index) {
    return rule.shortName != 0 ? rule.shortName : kFirstLongCode + static_cast<int>(index);
}

template <typename Options>
const OptionRule<Options>* ruleOf(std::span<const OptionRule<Options>> rules, int code) {
    for (std::size_t i = 0; i < rules.size(); ++i) {
        if (code != 0 && codeOf(rules[i], i) == code) return &rules[i];
    }
    return nullptr;
}

// An unknown short option is optopt; a long one, or an ambiguous prefix, is the
// argument just passed.
inline std::string unknownOption(std::string_view argument) {
    if (optopt != 0) return {'-', static_cast<char>(optopt)};
    return std::string(argument.substr(0, argument.find('=')));
}

}  // namespace detail

// Applies every option in turn; the arguments that are not options go to `operands`.
// False on the first bad option or value, with `error` a line naming it.
template <typename Options>
bool parseCommandLine(int argc, const char* const* argv, std::span<const OptionRule<Options>> rules,
                      Options& options, std::vector<std::string>& operands, std::string& error) {
    std::vector<option> longOptions;
    std::string shortOptions = ":";  // ':' for a missing value, told apart from '?'
    for (std::size_t i = 0; i < rules.size(); ++i) {
        const OptionRule<Options>& rule = rules[i];
        const int hasValue = rule.valueRule != nullptr ? required_argument : no_argument;
        longOptions.push_back({rule.name, hasValue, nullptr, detail::codeOf(rule, i)});
        if (rule.shortName == 0) continue;
        shortOptions += rule.shortName;
        if (rule.valueRule != nullptr) shortOptions += ':';
    }
    longOptions.push_back({});
    // getopt reorders the pointers, never the strings.
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.push_back(const_cast<char*>(argv[i]));
    arguments.push_back(nullptr);
    opterr = 0;
    optind = 0;  // glibc: start afresh
    for (;;) {
        const int code =
            getopt_long(argc, arguments.data(), shortOptions.c_str(), longOptions.data(), nullptr);
        if (code == -1) break;
        const bool missingValue = code == ':';
        const OptionRule<Options>* rule =
            detail::ruleOf(rules, missingValue || code == '?' ? optopt : code);
        if (rule == nullptr) {
            error = "unknown option '" + detail::unknownOption(arguments[optind - 1]) + "'";
            return false;
        }
        const std::string name = "--" + std::string(rule->name);
        if (missingValue) {
            error = name + " needs " + rule->valueRule;
            return false;
        }
        if (code == '?') {
            error = name + " takes no value";
            return false;
        }
        const std::string_view value = optarg != nullptr ? optarg : "";
        if (!rule->apply(options, value)) {
            error = name + " takes " + rule->valueRule + ", not '" + std::string(value) + "'";
            return false;
        }
    }
    operands.assign(arguments.begin() + optind, arguments.begin() + argc);
    return true;
}

}  // namespace commandline
