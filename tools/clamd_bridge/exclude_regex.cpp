#include "clamd_bridge/exclude_regex.h"

namespace tolvar::bridge {

namespace {

constexpr std::string_view kMetacharacters = ".[]()*+?{}|^$\\";

bool IsMeta(char c) {
    return kMetacharacters.find(c) != std::string_view::npos;
}

}  // namespace

RegexStart SplitLiteralStart(std::string_view regex) {
    RegexStart start;
    std::size_t at = 0;
    if (!regex.empty() && regex.front() == '^') {
        start.anchored = true;
        at = 1;
    }
    while (at < regex.size()) {
        const char c = regex[at];
        if (c == '\\' && at + 1 < regex.size() && IsMeta(regex[at + 1])) {
            start.literal += regex[at + 1];
            at += 2;
        } else if (!IsMeta(c)) {
            start.literal += c;
            ++at;
        } else {
            break;
        }
    }
    start.rest = std::string(regex.substr(at));
    // A quantifier right after the literal repeats its last character,
    // which then belongs to the rest.
    if (!start.literal.empty() && !start.rest.empty() &&
        std::string_view("*+?{").find(start.rest.front()) != std::string_view::npos) {
        start.rest = EscapeRegex(start.literal.substr(start.literal.size() - 1)) + start.rest;
        start.literal.pop_back();
    }
    return start;
}

std::string EscapeRegex(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (IsMeta(c)) out += '\\';
        out += c;
    }
    return out;
}

}  // namespace tolvar::bridge
