#include "score/file/text_tokenizer.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

#include "platform/kernel/text.h"

namespace {

bool IsTrimmed(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// White space as the C library conversions skip it.
bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char FoldAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

// Trims the text from begin up to end in place; returns the first kept character.
char* TrimRange(char* begin, char* end) {
    while (begin < end && IsTrimmed(*begin))
        ++begin;
    while (end > begin && IsTrimmed(end[-1]))
        --end;
    *end = 0;
    return begin;
}

// The characters that stop the scan for a separator: the terminator, the escape and the separator.
struct TStopTable {
    bool Stop[256];
    constexpr explicit TStopTable(char separator) : Stop{} {
        Stop[0] = true;
        Stop[static_cast<unsigned char>('\\')] = true;
        Stop[static_cast<unsigned char>(separator)] = true;
    }
};

constexpr TStopTable kBarStops('|');
constexpr TStopTable kCommaStops(',');

// Cuts text in place at each unescaped separator into trimmed pieces, at most max of them; a separator at
// the very end adds no piece. Returns the piece count.
int CutAt(char* text, const TStopTable& stops, char** pieces, int max) {
    const bool* stop = stops.Stop;
    int count = 0;
    char* start = text;
    char* p = text;
    while (count < max) {
        // Four characters a round; each is read only when the one before it is no terminator.
        for (;; p += 4) {
            if (stop[static_cast<unsigned char>(p[0])]) break;
            if (stop[static_cast<unsigned char>(p[1])]) {
                p += 1;
                break;
            }
            if (stop[static_cast<unsigned char>(p[2])]) {
                p += 2;
                break;
            }
            if (stop[static_cast<unsigned char>(p[3])]) {
                p += 3;
                break;
            }
        }
        if (*p == 0) break;
        if (*p == '\\') {
            ++p;
            if (*p == 0) break;
            ++p;
            continue;
        }
        pieces[count++] = TrimRange(start, p);
        start = p + 1;
        ++p;
    }
    if (count < max) {
        while (*p != 0)
            ++p;
        if (p > start) pieces[count++] = TrimRange(start, p);
    }
    return count;
}

}  // namespace

TQSMTextImportTokenizer::TQSMTextImportTokenizer()
    : Fields{},
      FieldKey{},
      Parts{},
      FieldCount(0),
      NameSignature(0),
      PartCount(0),
      Version(kDefaultVersion),
      CodePage(1252) {}

char* TQSMTextImportTokenizer::Trim(char* text) {
    while (IsTrimmed(*text))
        ++text;
    size_t n = std::strlen(text);
    while (n > 0 && IsTrimmed(text[n - 1]))
        --n;
    text[n] = 0;
    return text;
}

char* TQSMTextImportTokenizer::Trim(char* text, size_t length) {
    return TrimRange(text, text + length);
}

int TQSMTextImportTokenizer::SplitFields(char* line) {
    FieldCount = 0;
    NameSignature = 0;
    // The text before the first unescaped bar is no field.
    char* p = line;
    while (*p != 0 && *p != '|') {
        if (*p == '\\' && p[1] != 0) ++p;
        ++p;
    }
    if (*p == 0) return 0;
    FieldCount = CutAt(p + 1, kBarStops, Fields, kMaxFields);
    for (int i = 1; i < FieldCount; ++i) {
        const char* field = Fields[i];
        int k = 0;
        while (k < kNoColon && field[k] != ':' && field[k] != 0)
            ++k;
        const uint8_t colon = field[k] == ':' ? static_cast<uint8_t>(k) : kNoColon;
        FieldKey[i] = KeyOf(field[0], colon);
        NameSignature |= SignatureBit(field[0], colon);
    }
    return FieldCount;
}

const char* TQSMTextImportTokenizer::GetField(int index) const {
    return index >= 0 && index < FieldCount ? Fields[index] : nullptr;
}

const char* TQSMTextImportTokenizer::FindField(const char* name, size_t n) const {
    size_t colonAt = 0;
    while (colonAt < n && name[colonAt] != ':')
        ++colonAt;
    if (colonAt + 1 == n && colonAt < kNoColon) return FindFieldName(name, n);
    const char first = n > 0 ? FoldAscii(name[0]) : 0;
    for (int i = 1; i < FieldCount; ++i) {
        const char* field = Fields[i];
        if (n > 0 && FoldAscii(field[0]) != first) continue;
        size_t k = 0;
        while (k < n && field[k] != 0 && FoldAscii(field[k]) == FoldAscii(name[k]))
            ++k;
        if (k == n) return field + n;
    }
    return nullptr;
}

int TQSMTextImportTokenizer::SplitValueList(const char* value) {
    PartCount = 0;
    if (value == nullptr) return 0;
    // An empty value holds no part; the empty text between two commas is one.
    PartBuffer.assign(value);
    PartCount = CutAt(PartBuffer.data(), kCommaStops, Parts, kMaxParts);
    return PartCount;
}

int TQSMTextImportTokenizer::CutValueList(char* value) {
    PartCount = value != nullptr ? CutAt(value, kCommaStops, Parts, kMaxParts) : 0;
    return PartCount;
}

char* TQSMTextImportTokenizer::GetPart(int index) const {
    return index >= 0 && index < PartCount ? Parts[index] : nullptr;
}

char* TQSMTextImportTokenizer::SplitKeyValue(char* part) {
    char* eq = part;
    while (*eq != '=' && *eq != 0)
        ++eq;
    if (*eq == 0) return nullptr;
    *eq = 0;
    // The key is trimmed as Trim does it, knowing where it ends.
    const char* start = part;
    while (IsTrimmed(*start))
        ++start;
    char* end = eq;
    while (end > start && IsTrimmed(end[-1]))
        --end;
    *end = 0;
    return Trim(eq + 1);
}

std::string TQSMTextImportTokenizer::UnescapeText(const char* value) {
    std::string out;
    if (value == nullptr) return out;
    size_t n = std::strlen(value);
    const char* p = value;
    if (n >= 2 && value[0] == '"' && value[n - 1] == '"') {
        size_t slashes = 0;
        while (slashes < n - 2 && value[n - 2 - slashes] == '\\')
            ++slashes;
        if (slashes % 2 == 0) {
            ++p;
            n -= 2;
        }
    }
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        char c = p[i];
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (++i == n) break;  // a backslash at the end is dropped
        switch (p[i]) {
            case 't':
                out.push_back('\t');
                break;
            case 'r':
                out.push_back('\r');
                break;
            case 'n':
                out.push_back('\n');
                break;
            case ']':
                out.push_back('\\');
                break;
            case '}':
                out.push_back('|');
                break;
            default:
                out.push_back(p[i]);
                break;
        }
    }
    return out;
}

int32_t TQSMTextImportTokenizer::ParseInt(const char* text, const char** end) {
    const char* p = text;
    if (end != nullptr) *end = text;
    if (p == nullptr) return 0;
    while (IsSpace(*p))
        ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!IsDigit(*p)) return 0;
    int64_t value = 0;
    const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int32_t>::min())
                                   : std::numeric_limits<int32_t>::max();
    while (IsDigit(*p)) {
        if (value < limit) value = std::min(limit, value * 10 + (*p - '0'));
        ++p;
    }
    if (end != nullptr) *end = p;
    return static_cast<int32_t>(negative ? -value : value);
}

int32_t TQSMTextImportTokenizer::ParseIntLimited(const char* text, int32_t lo, int32_t hi) {
    int32_t v = ParseInt(text);
    return v < lo ? lo : (v > hi ? hi : v);
}

bool TQSMTextImportTokenizer::ParseFloat(const char* text, double& value, const char** end) {
    if (end != nullptr) *end = text;
    if (text == nullptr) return false;
    const char* p = text;
    while (IsSpace(*p))
        ++p;
    const char* number = p;
    if (*p == '+' || *p == '-') ++p;
    // Only plain decimal forms: no "inf", "nan" or hexadecimal numbers.
    if (!IsDigit(*p) && !(*p == '.' && IsDigit(p[1]))) return false;
    const bool negative = *number == '-';
    if (*number == '+') ++number;
    double v = 0;
    auto result = std::from_chars(number, number + std::strlen(number), v, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        // Beyond the range of a double: an overflow saturates, an underflow gives 0.
        const char* e = number;
        while (e < result.ptr && *e != 'e' && *e != 'E')
            ++e;
        const bool underflow = e < result.ptr && e[1] == '-';
        v = underflow ? 0.0 : std::numeric_limits<double>::infinity();
        if (negative) v = -v;
    } else if (result.ec != std::errc()) {
        return false;
    }
    value = v;
    if (end != nullptr) *end = result.ptr;
    return true;
}

bool TQSMTextImportTokenizer::IsWholeValueYes(const char* value) {
    return value != nullptr && (value[0] == 'Y' || value[0] == 'y') && value[1] == 0;
}

bool TQSMTextImportTokenizer::SameWordFolded(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const BYTE x = static_cast<BYTE>(*a), y = static_cast<BYTE>(*b);
        if (x == y) {
            if (x == 0) return true;
            continue;
        }
        // Letters beyond ASCII fold as code page 1252 does.
        if (((x | y) & 0x80) != 0 ? qsm::ToLower1252(x) != qsm::ToLower1252(y)
                                  : FoldAscii(static_cast<char>(x)) != FoldAscii(static_cast<char>(y))) {
            return false;
        }
    }
}
