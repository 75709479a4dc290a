// Line and field syntax of the text score format: fields cut at unescaped bars, field lookup by name, value
// lists cut at unescaped commas, key and value parts, quoted text values with backslash sequences, and the
// integer and flag conversions. The tokenizer works in place on a line buffer that its caller owns.
#ifndef QSM_SCORE_FILE_TEXT_TOKENIZER_H
#define QSM_SCORE_FILE_TEXT_TOKENIZER_H

#include <cstddef>
#include <cstdint>
#include <string>

class TQSMTextImportTokenizer {
public:
    static constexpr int kMaxFields = 512;
    static constexpr int kMaxParts = 512;
    // Lines are read with this limit: at most kLineLimit - 1 characters are kept.
    static constexpr int kLineLimit = 32000;
    static constexpr float kDefaultVersion = 2.51f;

    TQSMTextImportTokenizer();
    TQSMTextImportTokenizer(const TQSMTextImportTokenizer&) = delete;
    TQSMTextImportTokenizer& operator=(const TQSMTextImportTokenizer&) = delete;

    // Cuts a trimmed line at each unescaped '|' and trims every field, writing terminators into the line.
    // The text before the first bar is no field; the first field is the keyword. A bar at the very end of
    // the line adds no field. Returns the field count (keyword included, at most kMaxFields).
    int SplitFields(char* line);
    int GetFieldCount() const { return FieldCount; }
    const char* GetField(int index) const;
    // The keyword, or null when the line has no field.
    const char* GetKeyword() const { return FieldCount > 0 ? Fields[0] : nullptr; }

    // The value of the first field after the keyword that begins with name (which ends with its colon),
    // compared ignoring case; null when there is none.
    const char* FindField(const char* name, size_t length) const;
    template <size_t N>
    const char* FindField(const char (&name)[N]) const {
        // For a literal name the test folds away.
        constexpr size_t n = N - 1;
        bool fieldName = n > 0 && n <= kNoColon && name[n - 1] == ':';
        for (size_t k = 0; k + 1 < n; ++k)
            fieldName = fieldName && name[k] != ':';
        if (!fieldName) return FindField(name, n);
        // Inlined, so that the name's letters are known to the comparisons.
        return FindFieldName(name, n);
    }

    // Copies a value and cuts the copy at each unescaped ',' into trimmed parts; returns the part count.
    // The parts stay valid until the next call.
    int SplitValueList(const char* value);
    int GetPartCount() const { return PartCount; }
    char* GetPart(int index) const;

    float GetVersion() const { return Version; }
    void SetVersion(float version) { Version = version; }
    int32_t GetCodePage() const { return CodePage; }
    void SetCodePage(int32_t codePage) { CodePage = codePage; }

    // Trims blanks, tabs, CR and LF at both ends, in place; returns the first kept character.
    static char* Trim(char* text);
    // Trim of a text whose length is known.
    static char* Trim(char* text, size_t length);
    // Cuts a part of the form key=value at its first '=' and trims both sides; returns the value, or null
    // when the part has no '=' (the whole part is then the key).
    static char* SplitKeyValue(char* part);
    // A text value: surrounding quotes removed unless the closing one is escaped, then \t \r \n \] \} and
    // a backslash before any other character replaced; a backslash at the end is dropped.
    static std::string UnescapeText(const char* value);
    // Decimal integer in the manner of the C library conversion: optional white space and sign, then digits;
    // no digits give 0. Values beyond 32 bits saturate. end, when given, receives the first unread character.
    static int32_t ParseInt(const char* text, const char** end = nullptr);
    // ParseInt limited to lo..hi.
    static int32_t ParseIntLimited(const char* text, int32_t lo, int32_t hi);
    // A decimal number (optional white space and sign, digits with an optional fraction and exponent);
    // false when no number can be read.
    static bool ParseFloat(const char* text, double& value, const char** end = nullptr);
    // Words, keywords and names are compared ignoring case (code page 1252 letters).
    static bool SameWord(const char* a, const char* b) {
        // Most words differ in their first letter: plain ASCII letters that differ there are told apart
        // here without a call.
        const unsigned char x = static_cast<unsigned char>(a[0]), y = static_cast<unsigned char>(b[0]);
        if (((x | y) & 0x80) == 0 && (x | 0x20) != (y | 0x20)) return false;
        return SameWordFolded(a, b);
    }
    // Flags: first-letter form (an upper-case Y first) and whole-value form (exactly Y or y).
    static bool IsFirstLetterYes(const char* value) { return value != nullptr && value[0] == 'Y'; }
    static bool IsWholeValueYes(const char* value);

protected:
    // SplitValueList without the copy: the value, which lies in the caller's line, is cut where it lies.
    int CutValueList(char* value);

    char* Fields[kMaxFields];
    // Where each field's first colon is (kNoColon: none, or beyond kNoColon characters) in the low byte,
    // the field's first character folded to upper case in the high byte.
    static constexpr uint8_t kNoColon = 255;
    uint16_t FieldKey[kMaxFields];
    char* Parts[kMaxParts];
    int FieldCount;
    // One bit per first letter (case folded) and colon place of the fields' names after the keyword: a name
    // whose bit is clear names no field.
    uint64_t NameSignature;
    int PartCount;
    float Version;
    int32_t CodePage;

private:
    static bool SameWordFolded(const char* a, const char* b);
    // FindField for a name whose only colon is its last character (length at most kNoColon). Such a name
    // matches just the fields whose first colon is at the same place, since the folding maps no other
    // character to a colon; the colon place and the first character are tested together.
    const char* FindFieldName(const char* name, size_t n) const {
        const uint8_t colon = static_cast<uint8_t>(n - 1);
        if ((NameSignature & SignatureBit(name[0], colon)) == 0) return nullptr;
        const uint16_t key = KeyOf(name[0], colon);
        for (int i = 1; i < FieldCount; ++i) {
            if (FieldKey[i] != key) continue;
            const char* field = Fields[i];
            size_t k = 1;
            while (k < colon && FoldLetter(field[k]) == FoldLetter(name[k]))
                ++k;
            if (k >= colon) return field + n;
        }
        return nullptr;
    }
    static char FoldLetter(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
    static uint16_t KeyOf(char first, uint8_t colon) {
        const unsigned c =
            static_cast<unsigned char>(first >= 'a' && first <= 'z' ? first - 'a' + 'A' : first);
        return static_cast<uint16_t>(c << 8 | colon);
    }
    static uint64_t SignatureBit(char first, uint8_t colon) {
        const unsigned c =
            static_cast<unsigned char>(first >= 'a' && first <= 'z' ? first - 'a' + 'A' : first);
        return uint64_t{1} << ((c + 7u * colon) & 63u);
    }

    std::string PartBuffer;
};

#endif  // QSM_SCORE_FILE_TEXT_TOKENIZER_H
