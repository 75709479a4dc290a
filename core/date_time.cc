#include "core/date_time.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/kernel/text.h"

namespace {

const char* const kMonthNames[12] = {"January", "February", "March",     "April",   "May",      "June",
                                     "July",    "August",   "September", "October", "November", "December"};

const char* MonthName(int month, bool full, char* shortName) {
    if (month < 1 || month > 12) return "";
    if (full) return kMonthNames[month - 1];
    std::memcpy(shortName, kMonthNames[month - 1], 3);
    shortName[3] = 0;
    return shortName;
}

int MonthFromName(const std::string& name, bool full) {
    for (int m = 1; m <= 12; ++m) {
        const char* n = kMonthNames[m - 1];
        if (full ? qsm::CompareNoCase(n, name.c_str()) == 0
                 : (name.size() == 3 && qsm::CompareNoCase(n, name.c_str(), 3) == 0)) {
            return m;
        }
    }
    return 0;
}

bool ReadNumber(const std::string& s, int& value) {
    if (s.empty() || s.size() > 6) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    value = std::atoi(s.c_str());
    return true;
}

}  // namespace

void TTimeParts::SetMilliseconds(DWORD ms) {
    hours_ = static_cast<int32_t>(ms / 3600000u);
    minutes_ = static_cast<BYTE>((ms % 3600000u) / 60000u);
    seconds_ = static_cast<BYTE>((ms % 60000u) / 1000u);
    milliseconds_ = static_cast<int32_t>(ms % 1000u);
}

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int month, int year) {
    switch (month) {
        case 2:
            return IsLeapYear(year) ? 29 : 28;
        case 4:
        case 6:
        case 9:
        case 11:
            return 30;
        default:
            return 31;
    }
}

TDosDate::TDosDate(int year, int month, int day) {
    SetYear(year);
    SetMonth(month);
    SetDay(day);
}

void TDosDate::SetYear(int year) {
    packed_ = static_cast<WORD>((packed_ & 0x01FF) | (((year - 1980) & 0x7F) << 9));
}
void TDosDate::SetMonth(int month) {
    packed_ = static_cast<WORD>((packed_ & ~0x01E0) | ((month & 0x0F) << 5));
}
void TDosDate::SetDay(int day) {
    packed_ = static_cast<WORD>((packed_ & ~0x001F) | (day & 0x1F));
}

int TDosDate::GetYear2() const {
    int y = GetYear();
    return y < 2000 ? y - 1900 : y - 2000;
}

void TDosDate::SetYear2(int value) {
    SetYear(value < 80 ? 2000 + value : 1900 + value);
}

void TDosDate::SetToday() {
    time_t now = time(nullptr);
    tm local;
    if (!localtime_r(&now, &local)) return;
    *this = TDosDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

void TDosDate::NextDay() {
    int y = GetYear(), m = GetMonth(), d = GetDay() + 1;
    if (d > DaysInMonth(m, y)) {
        d = 1;
        if (++m > 12) {
            m = 1;
            ++y;
        }
    }
    *this = TDosDate(y, m, d);
}

void TDosDate::PrevDay() {
    int y = GetYear(), m = GetMonth(), d = GetDay() - 1;
    if (d < 1) {
        if (--m < 1) {
            m = 12;
            --y;
        }
        d = DaysInMonth(m, y);
    }
    *this = TDosDate(y, m, d);
}

void TDosDate::Format(char* buffer, int size, int style) const {
    if (!buffer || size < 1) return;
    char shortName[4];
    switch (style) {
        case 1:
            std::snprintf(buffer, size, "%02d %s %04d", GetDay(), MonthName(GetMonth(), true, shortName),
                          GetYear());
            break;
        case 2:
            std::snprintf(buffer, size, "%02d-%s-%04d", GetDay(), MonthName(GetMonth(), false, shortName),
                          GetYear());
            break;
        case 3:
            std::snprintf(buffer, size, "%02d/%02d/%02d", GetMonth(), GetDay(), GetYear2());
            break;
        default:
            std::snprintf(buffer, size, "%02d/%02d/%04d", GetMonth(), GetDay(), GetYear());
            break;
    }
}

bool TDosDate::Parse(const char* text, int style) {
    if (!text || std::strlen(text) > 40) return false;
    char sep = (style == 1) ? ' ' : (style == 2 ? '-' : '/');
    std::string parts[3];
    int k = 0;
    for (const char* p = text; *p; ++p) {
        if (*p == sep) {
            if (++k > 2) return false;
        } else {
            parts[k].push_back(*p);
        }
    }
    if (k != 2) return false;
    int year = 0, month = 0, day = 0;
    if (style == 0 || style == 3) {
        if (!ReadNumber(parts[0], month) || !ReadNumber(parts[1], day) || !ReadNumber(parts[2], year))
            return false;
    } else {
        month = MonthFromName(parts[1], style == 1);
        if (!ReadNumber(parts[0], day) || !ReadNumber(parts[2], year)) return false;
    }
    if (year < 100) year = year < 80 ? 2000 + year : 1900 + year;
    if (month < 1 || month > 12 || day < 1 || day > 31 || year < 1980 || year > 2107) return false;
    *this = TDosDate(year, month, day);
    return true;
}

void TProgressCounter::Start(DWORD total) {
    total_ = total ? total : 1;
    count_ = 0;
}

int TProgressCounter::Step() {
    ++count_;
    return GetPercent();
}

int TProgressCounter::GetPercent() const {
    uint64_t percent;
    if (total_ > 0xC00000u) {
        DWORD unit = total_ / 100;
        percent = count_ / (unit ? unit : 1) + 1;
    } else {
        percent = static_cast<uint64_t>(count_) * 100 / total_;
    }
    return percent > 100 ? 100 : static_cast<int>(percent);
}
