#include "core/clock.h"

#include <windows.h>

#include <optional>

#include "core/date_serial.h"

namespace tolvar {

namespace {

double SerialOf(const SYSTEMTIME& time) {
    return DateSerial(time.wYear, time.wMonth, time.wDay) +
           (time.wHour * 3600.0 + time.wMinute * 60.0 + time.wSecond) / 86400.0;
}

std::string ShortDate(const SYSTEMTIME* date) {
    char text[128] = "";
    if (!GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, date, nullptr, text, sizeof text)) {
        return "";
    }
    return text;
}

}  // namespace

double TodaySerial() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return DateSerial(now.wYear, now.wMonth, now.wDay);
}

double NowSerial() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return SerialOf(now);
}

double UtcNowSerial() {
    SYSTEMTIME now;
    GetSystemTime(&now);
    return SerialOf(now);
}

std::string TodayAsShortDate() {
    return ShortDate(nullptr);
}

std::string ShortDateOf(double serial) {
    const std::optional<CivilDate> date = CivilFromSerial(serial);
    if (!date) return "";
    SYSTEMTIME st{};
    st.wYear = static_cast<WORD>(date->year);
    st.wMonth = static_cast<WORD>(date->month);
    st.wDay = static_cast<WORD>(date->day);
    return ShortDate(&st);
}

}  // namespace tolvar
