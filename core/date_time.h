// Times and dates: a millisecond count taken apart, the 16-bit DOS date that the score keeps, and a
// percentage counter for long tasks.
#pragma once

#include "platform/base/wintypes.h"

// A millisecond count split into hours, minutes, seconds and milliseconds.
class TTimeParts {
public:
    explicit TTimeParts(DWORD milliseconds = 0) { SetMilliseconds(milliseconds); }
    void SetMilliseconds(DWORD milliseconds);
    int32_t GetHours() const { return hours_; }
    int GetMinutes() const { return minutes_; }
    int GetSeconds() const { return seconds_; }
    int32_t GetMilliseconds() const { return milliseconds_; }

private:
    int32_t hours_ = 0;
    int32_t milliseconds_ = 0;
    BYTE minutes_ = 0;
    BYTE seconds_ = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int month, int year);

// A date in DOS form: bits 0-4 day (1-31), 5-8 month (1-12), 9-15 year - 1980. The default is 0.
class TDosDate {
public:
    TDosDate() = default;
    explicit TDosDate(WORD packed) : packed_(packed) {}
    TDosDate(int year, int month, int day);

    WORD GetPacked() const { return packed_; }
    void SetPacked(WORD packed) { packed_ = packed; }
    int GetYear() const { return (packed_ >> 9) + 1980; }
    int GetMonth() const { return (packed_ >> 5) & 0x0F; }
    int GetDay() const { return packed_ & 0x1F; }
    // Stores year - 1980 in 7 bits.
    void SetYear(int year);
    void SetMonth(int month);
    void SetDay(int day);
    // The year in two digits: year - 1900 below 2000, else year - 2000.
    int GetYear2() const;
    // Below 80 means 2000 + value, otherwise 1900 + value.
    void SetYear2(int value);
    // Today's local date.
    void SetToday();
    void NextDay();
    void PrevDay();

    bool operator<(const TDosDate& o) const { return packed_ < o.packed_; }
    bool operator>(const TDosDate& o) const { return packed_ > o.packed_; }
    bool operator==(const TDosDate& o) const { return packed_ == o.packed_; }
    bool operator!=(const TDosDate& o) const { return packed_ != o.packed_; }

    // Style 0 "%02d/%02d/%04d" (month, day, year); 1 "%02d %s %04d" (day, full English month name, year);
    // 2 "%02d-%s-%04d" (day, three-letter month name, year); 3 "%02d/%02d/%02d" (month, day, two-digit
    // year). At most size-1 characters.
    void Format(char* buffer, int size, int style) const;
    // Reads a text of at most 40 characters in the given style: month, day and year as numbers for styles 0
    // and 3; day, month name (full names for style 1, three-letter otherwise, without regard to case) and
    // year for styles 1 and 2. A year below 100 is a two-digit year; the month must be 1-12, the day 1-31
    // and the year 1980-2107. False leaves the date unchanged.
    bool Parse(const char* text, int style);

private:
    WORD packed_ = 0;
};

// Percent done of a long task.
class TProgressCounter {
public:
    // total 0 counts as 1.
    void Start(DWORD total);
    // Counts one step and answers the percentage.
    int Step();
    // 0 to 100.
    int GetPercent() const;

private:
    DWORD total_ = 1;
    DWORD count_ = 0;
};
