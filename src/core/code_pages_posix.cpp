#include "core/code_pages.h"

#include <iconv.h>

#include <cerrno>
#include <string>

namespace tolvar {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";

class Converter {
public:
    explicit Converter(unsigned codePage)
        : cd_(iconv_open("UTF-8", ("CP" + std::to_string(codePage)).c_str())) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

}  // namespace

LegacyCodePages SystemCodePages() {
    return {1252, 850};
}

std::string CodePageToUtf8(std::string_view bytes, unsigned codePage) {
    std::string out;
    const Converter converter(codePage);
    if (!converter.ok()) {
        for (const char c : bytes)
            out += static_cast<unsigned char>(c) < 0x80 ? std::string(1, c) : kReplacement;
        return out;
    }
    std::string input(bytes);
    char* in = input.data();
    std::size_t inLeft = input.size();
    char buffer[256];
    while (inLeft > 0) {
        char* to = buffer;
        std::size_t toLeft = sizeof buffer;
        const std::size_t result = iconv(converter.get(), &in, &inLeft, &to, &toLeft);
        out.append(buffer, static_cast<std::size_t>(to - buffer));
        if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
            // A byte the page does not define (or a cut double-byte
            // character): one replacement, and on with the next byte.
            out += kReplacement;
            ++in;
            --inLeft;
        }
    }
    return out;
}

}  // namespace tolvar
