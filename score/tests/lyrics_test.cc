#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/stream.h"
#include "score/lyrics.h"

namespace {

// A stream over a string, enough for the lyric reader and writer.
class TTextStream : public TQSRStream {
public:
    explicit TTextStream(std::string text = {}) : Data(std::move(text)) {}
    void Put(int byte) override {
        if (Position < Data.size()) {
            Data[Position] = static_cast<char>(byte);
        } else {
            Data.push_back(static_cast<char>(byte));
        }
        ++Position;
    }
    BYTE Get() override {
        if (Position >= Data.size()) {
            SetError();
            return 0;
        }
        return static_cast<BYTE>(Data[Position++]);
    }
    bool Seek(DWORD position) override {
        Position = position;
        return true;
    }
    DWORD Tell() override { return static_cast<DWORD>(Position); }
    DWORD GetSize() override { return static_cast<DWORD>(Data.size()); }

    std::string Data;
    size_t Position = 0;
};

struct Syllable {
    std::string text;
    char sep;
};

std::vector<Syllable> Syllables(const TLyricText& line) {
    std::vector<Syllable> out;
    TLyric cursor;
    for (cursor.SetLine(line, 0); cursor.IsValid(); cursor.Next())
        out.push_back({cursor.GetText(), cursor.GetSeparator()});
    return out;
}

bool Parse(TLyricText& line, const char* text, bool afterEmpty = false, bool underscore = false) {
    std::vector<char> buffer(text, text + strlen(text) + 1);
    return line.ParseTextLine(buffer.data(), afterEmpty, underscore);
}

std::string Written(const TLyricText& line) {
    TTextStream out;
    line.WriteToStream(out);
    return out.Data;
}

TEST(LyricsTest, SplitsWordsAndHyphens) {
    TLyricText line;
    ASSERT_TRUE(Parse(line, "Hap-py birth-day"));
    auto s = Syllables(line);
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[0].text, "Hap");
    EXPECT_EQ(s[0].sep, 1);
    EXPECT_EQ(s[1].text, "py");
    EXPECT_EQ(s[1].sep, '-');
    EXPECT_EQ(s[2].text, "birth");
    EXPECT_EQ(s[2].sep, ' ');
    EXPECT_EQ(s[3].text, "day");
    EXPECT_EQ(s[3].sep, '-');
    EXPECT_EQ(Written(line), "Hap-py birth-day\r\n");
}

TEST(LyricsTest, HyphenRules) {
    TLyricText a;
    ASSERT_TRUE(Parse(a, "to--day"));
    auto s = Syllables(a);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].text, "to-");
    EXPECT_EQ(s[1].text, "day");
    EXPECT_EQ(s[1].sep, '-');

    TLyricText b;
    ASSERT_TRUE(Parse(b, "  word-  \t"));
    s = Syllables(b);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].text, "word-");

    TLyricText c;
    ASSERT_TRUE(Parse(c, "-ing x"));
    s = Syllables(c);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].text, "-ing");

    TLyricText d;
    EXPECT_FALSE(Parse(d, " \t\r\n"));
    EXPECT_EQ(d.GetUsed(), 1);
}

TEST(LyricsTest, LinesAndParagraphsRoundTrip) {
    TTextStream in("one two\r\nthree\r\n\r\nfour_five\r\n");
    TLyricText line;
    line.ReadFromStream(in, true);
    auto s = Syllables(line);
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[2].text, "three");
    EXPECT_EQ(s[2].sep, 13);
    EXPECT_EQ(s[3].text, "four five");
    EXPECT_EQ(s[3].sep, 10);
    EXPECT_EQ(Written(line), "one two\r\nthree\r\n\r\nfour_five\r\n");
    EXPECT_EQ(line.GetTextOffset(0), 0);
    EXPECT_EQ(line.GetTextOffset(1), 4);
    EXPECT_EQ(line.GetTextOffset(2), 9);
    EXPECT_EQ(line.GetTextOffset(3), 18);

    TLyricText plain;
    TTextStream again("New_York");
    plain.ReadFromStream(again, false);
    EXPECT_EQ(Syllables(plain)[0].text, "New_York");
}

TEST(LyricsTest, EmptyLineAndGrowth) {
    TLyricText line;
    auto s = Syllables(line);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].text, "");
    EXPECT_EQ(Written(line), "\r\n");
    char word[] = "la";
    EXPECT_EQ(line.AppendSyllable(' ', word, false), 3);
    EXPECT_EQ(line.GetCapacity(), 1024);
    EXPECT_EQ(Syllables(line)[0].sep, 1);
    std::string big(3000, 'x');
    line.AppendSyllable(' ', big.data(), false);
    EXPECT_EQ(line.GetCapacity(), 3072);
    EXPECT_EQ(Syllables(line).size(), 2u);
    line.Clear();
    EXPECT_EQ(line.GetCapacity(), 0);
    EXPECT_EQ(line.GetUsed(), 1);
}

TEST(LyricsTest, ResizeAndRawFillStayInsideTheBuffer) {
    TLyricText line;
    line.Resize(3);  // smaller than the shared empty line: it keeps that line's 5 bytes
    EXPECT_EQ(line.GetCapacity(), 5);
    EXPECT_EQ(Syllables(line).size(), 1u);
    line.Resize(-4);
    EXPECT_EQ(line.GetCapacity(), 0);
    // A raw fill without terminators: the cursor still stops inside the buffer.
    line.Resize(8);
    memset(line.GetWritableBuffer(), 'x', 8);
    line.MendRawFill(100);
    EXPECT_LE(line.GetUsed(), 8);
    TLyric cursor;
    cursor.SetLine(line, 50);
    EXPECT_FALSE(cursor.IsValid());
    EXPECT_EQ(Written(line).substr(Written(line).size() - 2), "\r\n");
}

TEST(LyricsTest, CursorSeeksBothWays) {
    TLyricText line;
    ASSERT_TRUE(Parse(line, "a b  c d"));
    TLyric cursor;
    cursor.SetLine(line, 3);
    EXPECT_STREQ(cursor.GetText(), "d");
    cursor.Seek(1);
    EXPECT_STREQ(cursor.GetText(), "b");
    EXPECT_EQ(cursor.GetIndex(), 1);
    cursor.Prev();
    cursor.Prev();
    EXPECT_EQ(cursor.GetIndex(), 0);
    EXPECT_EQ(cursor.GetSeparator(), 1);
    TLyric copy;
    copy.Assign(cursor);
    copy.Seek(10);
    EXPECT_FALSE(copy.IsValid());
    EXPECT_EQ(copy.GetIndex(), 4);
    copy.Prev();
    EXPECT_STREQ(copy.GetText(), "d");
}

TEST(LyricsTest, StaffLyricsLines) {
    TStaffLyrics lyrics;
    EXPECT_EQ(lyrics.GetCount(), 0);
    EXPECT_EQ(lyrics.UnderscoreAsSpace, 1);
    auto* one = new TLyricText;
    auto* two = new TLyricText;
    lyrics.Add(one);
    lyrics.Insert(two, 0);
    EXPECT_EQ(lyrics.GetLine(0), two);
    EXPECT_EQ(lyrics.GetLine(1), one);
    EXPECT_EQ(lyrics.GetLine(2), nullptr);
    EXPECT_EQ(lyrics.GetLine(-1), nullptr);
    EXPECT_EQ(lyrics.Detach(0), two);
    delete two;
    EXPECT_EQ(lyrics.GetLastIndex(), 0);
}

}  // namespace
