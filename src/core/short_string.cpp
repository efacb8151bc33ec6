#include "core/short_string.h"

#include <algorithm>

#include "core/code_pages.h"
#include "core/utf8_text.h"

namespace tolvar {

std::string CutToField(std::string_view text, std::size_t capacity) {
    return std::string(Utf8PrefixOfBytes(text, capacity));
}

std::string CutToFieldMarked(std::string_view text, std::size_t capacity) {
    if (text.size() <= capacity) return std::string(text);
    if (capacity == 0) return {};
    std::string cut(Utf8PrefixOfBytes(text, capacity - 1));
    cut += '?';
    return cut;
}

void WriteShortString(std::uint8_t* field, std::size_t capacity, std::string_view text) {
    const std::string_view kept = Utf8PrefixOfBytes(text, capacity);
    field[0] = static_cast<std::uint8_t>(kept.size());
    std::size_t i = 0;
    for (; i < kept.size(); ++i)
        field[1 + i] = static_cast<std::uint8_t>(kept[i]);
    // Leftovers of a longer earlier text would otherwise be stored along with
    // the record and read back by anyone who trusts the whole field.
    for (; i < capacity; ++i)
        field[1 + i] = 0;
}

std::string ReadShortString(const std::uint8_t* field, std::size_t capacity) {
    const std::size_t length = std::min<std::size_t>(field[0], capacity);
    std::string text(length, '\0');
    for (std::size_t i = 0; i < length; ++i)
        text[i] = static_cast<char>(field[1 + i]);
    if (IsValidUtf8(text)) return text;
    // Written before the program spoke UTF-8: the system's ANSI text then.
    return CutToFieldMarked(CodePageToUtf8(text, SystemCodePages().ansi), capacity);
}

}  // namespace tolvar
