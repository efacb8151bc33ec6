#include "updates/mirror_address.h"

#include "core/ascii_text.h"

namespace tolvar {

namespace {

std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned v = static_cast<unsigned char>(bytes[i]) << 16 |
                           static_cast<unsigned char>(bytes[i + 1]) << 8 |
                           static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[v >> 18 & 63];
        out += kDigits[v >> 12 & 63];
        out += kDigits[v >> 6 & 63];
        out += kDigits[v & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kDigits[v >> 18 & 63];
        out += kDigits[v >> 12 & 63];
        out += rest == 2 ? kDigits[v >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

}  // namespace

std::string DatabaseUrl(std::string_view configuredMirror, std::string_view remotePath) {
    std::string_view mirror = Trim(configuredMirror);
    if (mirror.empty()) mirror = kDefaultMirror;
    while (!mirror.empty() && mirror.back() == '/')
        mirror.remove_suffix(1);
    std::string url(mirror);
    if (url.find("://") == std::string::npos) url = "http://" + url;
    return url + std::string(remotePath);
}

std::string BasicCredentials(std::string_view user, std::string_view password) {
    std::string pair(user);
    pair += ':';
    pair += password;
    return "Basic " + Base64(pair);
}

}  // namespace tolvar
