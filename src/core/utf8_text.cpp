#include "core/utf8_text.h"

#include <cstdint>
#include <cstring>

namespace tolvar {

namespace {

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The length of the well-formed character at text[i], or 0 when none starts
// there.
std::size_t CharLength(std::string_view text, std::size_t i) {
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = at(i);
    if (lead < 0x80) return 1;
    const std::size_t left = text.size() - i;
    if (lead >= 0xC2 && lead <= 0xDF) {
        return left >= 2 && IsContinuation(at(i + 1)) ? 2 : 0;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (left < 3 || !IsContinuation(at(i + 1)) || !IsContinuation(at(i + 2))) return 0;
        // No overlong forms (E0 80..9F) and no surrogates (ED A0..BF).
        if (lead == 0xE0 && at(i + 1) < 0xA0) return 0;
        if (lead == 0xED && at(i + 1) > 0x9F) return 0;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (left < 4 || !IsContinuation(at(i + 1)) || !IsContinuation(at(i + 2)) ||
            !IsContinuation(at(i + 3))) {
            return 0;
        }
        if (lead == 0xF0 && at(i + 1) < 0x90) return 0;  // overlong
        if (lead == 0xF4 && at(i + 1) > 0x8F) return 0;  // past U+10FFFF
        return 4;
    }
    return 0;
}

// The code point at text[i] and its length; a byte that starts no
// well-formed character stands for itself.
char32_t Decode(std::string_view text, std::size_t i, std::size_t& length) {
    length = CharLength(text, i);
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    switch (length) {
        case 2:
            return static_cast<char32_t>((at(i) & 0x1F) << 6 | (at(i + 1) & 0x3F));
        case 3:
            return static_cast<char32_t>((at(i) & 0x0F) << 12 | (at(i + 1) & 0x3F) << 6 |
                                         (at(i + 2) & 0x3F));
        case 4:
            return static_cast<char32_t>((at(i) & 0x07) << 18 | (at(i + 1) & 0x3F) << 12 |
                                         (at(i + 2) & 0x3F) << 6 | (at(i + 3) & 0x3F));
        default:
            length = 1;
            return at(i);
    }
}

void Encode(char32_t c, std::string& out) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

char32_t LowerCase(char32_t c) {
    const auto within = [c](char32_t lo, char32_t hi) { return c >= lo && c <= hi; };
    if (within(U'A', U'Z')) return c + 0x20;
    if (within(0xC0, 0xDE) && c != 0xD7) return c + 0x20;
    // Latin Extended-A pairs each capital with the small letter after it;
    // the runs differ in whether the capitals sit on even or odd points.
    // Except U+0130, the capital I with a dot: its small letter is a plain
    // "i", and the file system takes it for neither "i" nor the dotless
    // U+0131 that follows it.
    if ((within(0x100, 0x137) || within(0x14A, 0x177)) && c % 2 == 0 && c != 0x130) return c + 1;
    if ((within(0x139, 0x148) || within(0x179, 0x17E)) && c % 2 == 1) return c + 1;
    if (c == 0x178) return 0xFF;
    if (within(0x391, 0x3AB) && c != 0x3A2) return c + 0x20;
    if (c == 0x386) return 0x3AC;
    if (within(0x388, 0x38A)) return c + 0x25;
    if (c == 0x38C) return 0x3CC;
    if (within(0x38E, 0x38F)) return c + 0x3F;
    if (within(0x410, 0x42F)) return c + 0x20;
    if (within(0x400, 0x40F)) return c + 0x50;
    return c;
}

}  // namespace

bool IsPlainAscii(std::string_view text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    const std::size_t n = text.size();
    while (i < n) {
        // Report lines are nearly all ASCII: eight bytes at a time.
        while (i + 8 <= n) {
            std::uint64_t word;
            std::memcpy(&word, text.data() + i, sizeof word);
            if (word & 0x8080808080808080ULL) break;
            i += 8;
        }
        if (i == n) break;
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = CharLength(text, i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string_view Utf8PrefixOfBytes(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t end = maxBytes;
    // Back to the start of the character the cut would split; a run of
    // stray continuation bytes is no character, so at most three steps.
    for (int step = 0; step < 3 && end > 0 && IsContinuation(static_cast<unsigned char>(text[end]));
         ++step) {
        --end;
    }
    if (IsContinuation(static_cast<unsigned char>(text[end]))) end = maxBytes;
    return text.substr(0, end);
}

std::string_view Utf8FirstChars(std::string_view text, std::size_t count) {
    std::size_t i = 0;
    for (std::size_t chars = 0; chars < count && i < text.size(); ++chars) {
        std::size_t length = 0;
        Decode(text, i, length);
        i += length;
    }
    return text.substr(0, i);
}

std::string_view Utf8LastChars(std::string_view text, std::size_t count) {
    std::size_t start = text.size();
    for (std::size_t chars = 0; chars < count && start > 0; ++chars) {
        --start;
        // Continuation bytes belong to the character that leads them.
        for (int step = 0;
             step < 3 && start > 0 && IsContinuation(static_cast<unsigned char>(text[start]));
             ++step) {
            --start;
        }
    }
    return text.substr(start);
}

std::string FoldCaseForPath(std::string_view text) {
    std::string folded;
    folded.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = 0;
        const char32_t c = Decode(text, i, length);
        if (length == 1 && c >= 0x80) {
            folded += text[i];  // a stray byte stays as it is
        } else {
            Encode(LowerCase(c), folded);
        }
        i += length;
    }
    return folded;
}

}  // namespace tolvar
