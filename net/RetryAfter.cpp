#include "net/RetryAfter.h"

#include <array>
#include <limits>

#include "base/Blanks.h"

namespace torvex {

namespace {

constexpr std::array<std::string_view, 12> kMonths = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
constexpr std::array<std::string_view, 7> kShortDays = {"Mon", "Tue", "Wed", "Thu",
                                                        "Fri", "Sat", "Sun"};
constexpr std::array<std::string_view, 7> kLongDays = {
    "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

// Reads a field of exactly `width` characters from the front of `text`; false when it is not
// all digits (a blank is allowed before the digits only when `leadingBlank`).
bool TakeNumber(std::string_view& text, std::size_t width, int& value, bool leadingBlank = false) {
    if (text.size() < width) {
        return false;
    }
    value = 0;
    for (std::size_t i = 0; i < width; ++i) {
        const char c = text[i];
        if (c == ' ' && leadingBlank && i == 0) {
            continue;
        }
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + (c - '0');
    }
    text.remove_prefix(width);
    return true;
}

bool TakeText(std::string_view& text, std::string_view expected) {
    if (text.substr(0, expected.size()) != expected) {
        return false;
    }
    text.remove_prefix(expected.size());
    return true;
}

template <std::size_t N>
bool TakeOneOf(std::string_view& text, const std::array<std::string_view, N>& names,
               int* index = nullptr) {
    for (std::size_t i = 0; i < N; ++i) {
        if (TakeText(text, names[i])) {
            if (index != nullptr) {
                *index = static_cast<int>(i);
            }
            return true;
        }
    }
    return false;
}

// "08:49:37"
bool TakeTime(std::string_view& text, int& hour, int& minute, int& second) {
    return TakeNumber(text, 2, hour) && TakeText(text, ":") && TakeNumber(text, 2, minute) &&
           TakeText(text, ":") && TakeNumber(text, 2, second);
}

bool IsLeapYear(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(std::int64_t year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 1 && IsLeapYear(year) ? 29 : kDays[month];
}

// Days from 1970-01-01 to the given civil date (month 0-based), for the proleptic Gregorian
// calendar.
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
    const int m = month + 1;
    year -= m <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::int64_t YearOf(std::int64_t seconds) {
    // Civil year of a day count (the inverse of DaysFromCivil, year part only).
    std::int64_t days = seconds / 86400 - (seconds % 86400 < 0 ? 1 : 0);
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const std::int64_t dayOfEra = days - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    return yearOfEra + era * 400 + (mp >= 10 ? 1 : 0);
}

std::optional<std::int64_t> Compose(std::int64_t year, int month, int day, int hour, int minute,
                                    int second) {
    if (day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 || second > 60) {
        return std::nullopt;
    }
    return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

} // namespace

std::optional<std::int64_t> ParseHttpDate(std::string_view text, std::int64_t now) {
    text = TrimBlanks(text);
    int day = 0;
    int month = 0;
    int year = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    std::string_view rest = text;
    // IMF-fixdate: "Sun, 06 Nov 1994 08:49:37 GMT"
    if (TakeOneOf(rest, kShortDays) && TakeText(rest, ", ")) {
        if (TakeNumber(rest, 2, day) && TakeText(rest, " ") && TakeOneOf(rest, kMonths, &month) &&
            TakeText(rest, " ") && TakeNumber(rest, 4, year) && TakeText(rest, " ") &&
            TakeTime(rest, hour, minute, second) && rest == " GMT") {
            return Compose(year, month, day, hour, minute, second);
        }
        return std::nullopt;
    }
    // RFC 850: "Sunday, 06-Nov-94 08:49:37 GMT"
    rest = text;
    if (TakeOneOf(rest, kLongDays) && TakeText(rest, ", ")) {
        if (TakeNumber(rest, 2, day) && TakeText(rest, "-") && TakeOneOf(rest, kMonths, &month) &&
            TakeText(rest, "-") && TakeNumber(rest, 2, year) && TakeText(rest, " ") &&
            TakeTime(rest, hour, minute, second) && rest == " GMT") {
            const std::int64_t thisYear = YearOf(now);
            std::int64_t full = thisYear - thisYear % 100 + year;
            if (full > thisYear + 50) {
                full -= 100;
            }
            return Compose(full, month, day, hour, minute, second);
        }
        return std::nullopt;
    }
    // asctime: "Sun Nov  6 08:49:37 1994"
    rest = text;
    if (TakeOneOf(rest, kShortDays) && TakeText(rest, " ") && TakeOneOf(rest, kMonths, &month) &&
        TakeText(rest, " ") && TakeNumber(rest, 2, day, true) && TakeText(rest, " ") &&
        TakeTime(rest, hour, minute, second) && TakeText(rest, " ") && TakeNumber(rest, 4, year) &&
        rest.empty()) {
        return Compose(year, month, day, hour, minute, second);
    }
    return std::nullopt;
}

std::int64_t BusyReplyWait(std::string_view retryAfter, std::string_view date, std::int64_t now) {
    if (const std::optional<std::int64_t> sent = ParseHttpDate(date, now)) {
        now = *sent;
    }
    return RetryAfterSeconds(retryAfter, now).value_or(-1);
}

std::optional<std::int64_t> RetryAfterSeconds(std::string_view value, std::int64_t now) {
    value = TrimBlanks(value);
    if (value.empty()) {
        return std::nullopt;
    }
    if (value.front() >= '0' && value.front() <= '9') {
        std::int64_t seconds = 0;
        for (const char c : value) {
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
            const int digit = c - '0';
            if (seconds > (std::numeric_limits<std::int64_t>::max() - digit) / 10) {
                return std::nullopt;
            }
            seconds = seconds * 10 + digit;
        }
        return seconds;
    }
    const std::optional<std::int64_t> when = ParseHttpDate(value, now);
    if (!when) {
        return std::nullopt;
    }
    return *when > now ? *when - now : 0;
}

} // namespace torvex
