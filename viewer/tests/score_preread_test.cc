// The score of the command line, read while the program starts: the open takes the score read (with one
// thread and with several) and shows the document a plain open shows, a MIDI file's song included; a file
// changed after the read is read again; a file the reader refuses, or a damaged MIDI file, tells the same as
// without the read; a MIDI file whose conversion fails on the read is read by the open itself; a cancel in
// the open's dialog drops a conversion under way; a read nobody takes is dropped.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "core/file_stream.h"
#include "core/parallel.h"
#include "core/ram_stream.h"
#include "midi/smf_file.h"
#include "platform/framework/frame.h"
#include "platform/wm/backend.h"
#include "score/base/midi_file_buf.h"
#include "score/file/score_file.h"
#include "score/file/text_import.h"
#include "score/music_score.h"
#include "ui/long_task.h"
#include "viewer/app.h"
#include "viewer/client.h"
#include "viewer/options.h"
#include "viewer/score_preread.h"
#include "viewer/tests/viewer_test_env.h"

namespace {

using qsm::viewer_test::ShownBox;

class ScorePrereadTest : public qsm::viewer_test::StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        threads_ = qsm::GetParallelThreads();
        SetDefaultOptions(ViewerOptions);
        ViewerOptions.AutoWelcome = 0;
        ViewerOptions.AutoPlay = 0;
        app_ = std::make_unique<TQSMViewerApp>("QuillStave Composer Viewer");
        client_ = new TQSMViewerClient;
        frame_ = new TDecoratedFrame(nullptr, "test", client_);
        frame_->Attr.Style = WS_OVERLAPPEDWINDOW | WS_VISIBLE;
        app_->SetMainWindow(frame_);
        frame_->Create();
        qsm::wm::PumpMessages();
        qsm::wm::SetModalHook([this](HWND box) {
            boxes_.push_back(qsm::viewer_test::ShownBoxOf(box));
            PostMessageA(box, WM_COMMAND, IDNO, 0);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
        });
        MakePianoAndQuartet(&piano_, &quartetText_);
        TQSRFStream in(TQSRFStream::kRead, quartetText_.c_str());
        std::unique_ptr<TMusicScore> quartet(ImportTextScore(in, nullptr, -1));
        ASSERT_TRUE(quartet);
        quartet_ = dir_ + "/Quartet.qsm";
        ASSERT_TRUE(SaveScoreFile(quartet_.c_str(), true, *quartet));
    }
    void TearDown() override {
        qsm::DropScorePreread();
        qsm::SetPrereadMidiConversion(nullptr);
        qsm::wm::SetModalHook(nullptr);
        qsm::SetParallelThreads(threads_);
        app_.reset();
        StoreTest::TearDown();
    }

    // The open score's stored form.
    std::string Body() {
        TQSRFlatRamStream out(1 << 16, 1 << 16);
        WriteScoreBody(*app_->GetScore(), out);
        return std::string(reinterpret_cast<const char*>(out.GetData()), out.GetSize());
    }
    // The open document: the score, the caption, the first recent file and the load warnings.
    std::string Document() {
        char caption[256] = {};
        GetWindowTextA(frame_->GetHandle(), caption, sizeof caption);
        std::string document = Body() + "|" + caption + "|" + app_->GetRecentViews().GetEntry(0);
        for (const std::string& warning : app_->GetLoadWarnings())
            document += "|" + warning;
        return document;
    }
    // The document a plain open of the file shows, on one thread; then the blank score again.
    std::string PlainDocument(const std::string& path) {
        qsm::SetParallelThreads(1);
        EXPECT_TRUE(client_->OpenFile(path.c_str(), true));
        std::string document = Document();
        client_->OpenFile(nullptr, 0);
        qsm::SetParallelThreads(threads_);
        return document;
    }
    // The open document with the song the open made of a MIDI file.
    std::string MidiDocument() {
        const TMidiFileBuf& song = app_->GetSongBuffer();
        std::string document = Document() + "|song " + std::to_string(song.GetBlockCount()) + " " +
                               std::to_string(song.HasOverflowed());
        for (int i = 0; i < song.GetEventCount(); ++i) {
            const TMidiEvent* e = song.GetEvent(i);
            document += " " + std::to_string(e->Tick) + ":" + std::to_string(e->Status) + "," +
                        std::to_string(e->Data1) + "," + std::to_string(e->Data2) + "," +
                        std::to_string(e->KindPort);
        }
        return document;
    }
    static bool Taken(const std::string& path) {
        TMusicScore* score = nullptr;
        TScoreFileHeader header;
        bool taken = qsm::TakeScorePreread(path.c_str(), qsm::GetOpenKind(path.c_str()), score, header);
        delete score;
        return taken;
    }

    std::unique_ptr<TQSMViewerApp> app_;
    TQSMViewerClient* client_ = nullptr;
    TDecoratedFrame* frame_ = nullptr;
    std::vector<ShownBox> boxes_;
    std::string piano_, quartet_, quartetText_;
    unsigned threads_ = 1;
};

TEST_F(ScorePrereadTest, TheOpenTakesTheScoreReadAndShowsWhatAPlainOpenShows) {
    for (unsigned threads : {1u, 4u}) {
        qsm::SetParallelThreads(threads);
        for (const std::string& path : {quartet_, piano_, quartetText_}) {
            const std::string expected = PlainDocument(path);
            qsm::SetParallelThreads(threads);
            qsm::StartScorePreread(("/cached " + path).c_str());
            // Settled before the open, as a read that ended while the windows were made: the open takes it.
            qsm::SettleScorePreread(path.c_str());
            ASSERT_TRUE(qsm::HasScorePreread(path.c_str()));
            ASSERT_TRUE(client_->OpenFile(path.c_str(), true));
            EXPECT_FALSE(qsm::HasScorePreread(path.c_str()));
            EXPECT_EQ(Document(), expected) << path << " " << threads;
            // Still under way when the open comes.
            client_->OpenFile(nullptr, 0);
            qsm::StartScorePreread(path.c_str());
            ASSERT_TRUE(client_->OpenFile(path.c_str(), true));
            EXPECT_EQ(Document(), expected) << path << " " << threads;
            client_->OpenFile(nullptr, 0);
        }
    }
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(ScorePrereadTest, AFileChangedAfterTheReadIsReadAgain) {
    const std::string quartet = PlainDocument(quartet_);
    ASSERT_TRUE(client_->OpenFile(quartet_.c_str(), true));
    const std::string quartetBody = Body();
    const std::string path = dir_ + "/song.qsm";
    std::filesystem::copy_file(piano_, path);
    qsm::StartScorePreread(path.c_str());
    qsm::SettleScorePreread(path.c_str());
    ASSERT_TRUE(qsm::HasScorePreread(path.c_str()));
    std::filesystem::copy_file(quartet_, path, std::filesystem::copy_options::overwrite_existing);
    ASSERT_TRUE(client_->OpenFile(path.c_str(), true));
    EXPECT_EQ(Body(), quartetBody);

    // Another file than the one read: the read is dropped.
    qsm::StartScorePreread(piano_.c_str());
    ASSERT_TRUE(client_->OpenFile(quartet_.c_str(), true));
    EXPECT_EQ(Document(), quartet);
    EXPECT_FALSE(Taken(piano_));
}

TEST_F(ScorePrereadTest, AFileTheReaderRefusesTellsTheSameAsWithoutTheRead) {
    std::ifstream in(piano_, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string cut = dir_ + "/cut.qsm", notScore = dir_ + "/not.qsm", missing = dir_ + "/missing.qsm";
    std::ofstream(cut, std::ios::binary) << bytes.substr(0, bytes.size() / 2);
    std::ofstream(notScore) << "not a score\n";
    for (const std::string& path : {cut, notScore, missing, dir_}) {
        boxes_.clear();
        EXPECT_FALSE(client_->OpenFile(path.c_str(), true));
        std::vector<ShownBox> plain = boxes_;
        boxes_.clear();
        qsm::StartScorePreread(path.c_str());
        EXPECT_FALSE(client_->OpenFile(path.c_str(), true));
        ASSERT_EQ(boxes_.size(), plain.size()) << path;
        ASSERT_FALSE(plain.empty()) << path;
        for (size_t i = 0; i < plain.size(); ++i) {
            EXPECT_EQ(boxes_[i].caption, plain[i].caption) << path;
            EXPECT_EQ(boxes_[i].text, plain[i].text) << path;
        }
        EXPECT_EQ(app_->GetScore(), app_->GetBlankScore());
    }
}

TEST_F(ScorePrereadTest, AReadIsTakenAsItsKindAloneAndARunThatOpensNothingDropsTheRead) {
    EXPECT_EQ(qsm::GetOpenKind("/a/song.MID"), qsm::TOpenKind::Midi);
    EXPECT_EQ(qsm::GetOpenKind("/a/song.kar"), qsm::TOpenKind::Midi);
    EXPECT_EQ(qsm::GetOpenKind("/a/song.qsmtxt"), qsm::TOpenKind::TextScore);
    EXPECT_EQ(qsm::GetOpenKind("/a/song.midi"), qsm::TOpenKind::CompactScore);
    EXPECT_EQ(qsm::GetOpenKind("/a.mid/song"), qsm::TOpenKind::CompactScore);

    // A read of one kind is not taken as another.
    qsm::StartScorePreread(quartet_.c_str());
    qsm::SettleScorePreread(quartet_.c_str());
    TMusicScore* score = nullptr;
    TScoreFileHeader header;
    EXPECT_FALSE(qsm::TakeScorePreread(quartet_.c_str(), qsm::TOpenKind::TextScore, score, header));
    EXPECT_TRUE(Taken(quartet_));
    qsm::StartScorePreread("/play /close");
    qsm::SettleScorePreread(nullptr);

    // Dropped while it reads, and after it has read.
    qsm::StartScorePreread(quartet_.c_str());
    qsm::DropScorePreread();
    EXPECT_FALSE(Taken(quartet_));
    qsm::StartScorePreread(quartet_.c_str());
    qsm::SettleScorePreread(quartet_.c_str());
    qsm::DropScorePreread();
    EXPECT_FALSE(Taken(quartet_));
}

// A format 1 file of a tempo track and tracks of notes on two channels, with lyrics: enough to convert
// for a while.
std::string ManyNotesMidi(int tracks, int notes) {
    auto be = [](std::string& out, uint32_t value, int bytes) {
        for (int i = bytes - 1; i >= 0; --i)
            out += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    std::string file = "MThd";
    be(file, 6, 4);
    be(file, 1, 2);
    be(file, static_cast<uint32_t>(tracks + 1), 2);
    be(file, 96, 2);
    auto track = [&](const std::string& events) {
        file += "MTrk";
        be(file, static_cast<uint32_t>(events.size() + 4), 4);
        file += events + std::string("\0\xFF\x2F\0", 4);
    };
    track(std::string("\0\xFF\x51\x03\x07\xA1\x20\0\xFF\x58\x04\x03\x02\x18\x08", 15));
    for (int t = 0; t < tracks; ++t) {
        std::string events;
        for (int n = 0; n < notes; ++n) {
            const char channel = static_cast<char>(n % 7 == 3 ? 1 : 0);
            const char key = static_cast<char>(48 + (n * 5 + t * 3) % 30);
            events += std::string("\0\xFF\x05\x02", 4) + static_cast<char>('a' + n % 26) + "-";
            events += std::string(1, '\0') + static_cast<char>('\x90' | channel) + key + '@';
            events += std::string(1, static_cast<char>(n % 3 == 0 ? 48 : 24)) +
                      static_cast<char>('\x80' | channel) + key + '@';
        }
        track(events);
    }
    return file;
}

TEST_F(ScorePrereadTest, TheOpenTakesTheMidiFileReadAndShowsWhatAPlainOpenShows) {
    const std::string corpus = std::string(QSM_TESTDATA_DIR) + "/../fuzz/corpus/smf_reader/";
    const std::string many = dir_ + "/many.kar";
    std::ofstream(many, std::ios::binary) << ManyNotesMidi(8, 600);
    const std::string karaoke = dir_ + "/Karaoke.KAR";
    std::filesystem::copy_file(corpus + "karaoke_text.mid", karaoke);
    for (unsigned threads : {1u, 4u}) {
        for (const std::string& path :
             {corpus + "format1.mid", corpus + "lyrics_chords.mid", karaoke, many}) {
            const std::string expected = [&] {
                qsm::SetParallelThreads(1);
                EXPECT_TRUE(client_->OpenFile(path.c_str(), true));
                std::string document = MidiDocument();
                client_->OpenFile(nullptr, 0);
                return document;
            }();
            qsm::SetParallelThreads(threads);
            qsm::StartScorePreread(("/xprint " + path).c_str());
            qsm::SettleScorePreread(path.c_str());
            ASSERT_TRUE(qsm::HasScorePreread(path.c_str()));
            // Only the open takes it, and only as what it is.
            EXPECT_FALSE(Taken(path));
            ASSERT_TRUE(client_->OpenFile(path.c_str(), true));
            EXPECT_FALSE(qsm::HasScorePreread(path.c_str()));
            EXPECT_EQ(MidiDocument(), expected) << path << " " << threads;
            // Converting still while the open shows its dialog and paints the windows.
            client_->OpenFile(nullptr, 0);
            qsm::StartScorePreread(path.c_str());
            ASSERT_TRUE(client_->OpenFile(path.c_str(), true));
            EXPECT_EQ(MidiDocument(), expected) << path << " " << threads;
            client_->OpenFile(nullptr, 0);
        }
    }
    EXPECT_TRUE(boxes_.empty());

    // Read, then changed before the open: the open reads the file as it is now.
    const std::string path = dir_ + "/song.mid";
    std::filesystem::copy_file(corpus + "format0.mid", path);
    ASSERT_TRUE(client_->OpenFile(path.c_str(), true));
    const std::string before = MidiDocument();
    qsm::StartScorePreread(path.c_str());
    qsm::SettleScorePreread(path.c_str());
    ASSERT_TRUE(qsm::HasScorePreread(path.c_str()));
    std::filesystem::copy_file(many, path, std::filesystem::copy_options::overwrite_existing);
    ASSERT_TRUE(client_->OpenFile(path.c_str(), true));
    const std::string after = MidiDocument();
    EXPECT_NE(after, before);
    client_->OpenFile(nullptr, 0);
    ASSERT_TRUE(client_->OpenFile(path.c_str(), true));
    EXPECT_EQ(MidiDocument(), after);
    // Dropped while it converts.
    qsm::StartScorePreread(path.c_str());
    qsm::SettleScorePreread(path.c_str());
    qsm::DropScorePreread();
    EXPECT_FALSE(qsm::HasScorePreread(path.c_str()));
    // A read of another file stops and is dropped when a score is opened.
    qsm::StartScorePreread(many.c_str());
    ASSERT_TRUE(client_->OpenFile(quartet_.c_str(), true));
    EXPECT_FALSE(qsm::HasScorePreread(many.c_str()));
}

// The read's conversion, failing as one that runs out of memory: it has walked the data and changed it, and
// throws or gives no score; it may remove the file too.
enum class TFailure { Throws, GivesNoScore, RemovesTheFile };
std::atomic<TFailure> gFailure{TFailure::Throws};
std::atomic<int> gFailures{0};
std::string gConverted;  // set before the read starts

TMusicScore* FailingConversion(TSMFData* data, const TSMFImportList& list, int lyricKind) {
    ++gFailures;
    delete ConvertMidiToScore(data, list, lyricKind);
    data->SetText(SMF_FIELD_TITLE, "half converted");
    data->GetTrack(data->GetTrackCount() - 1)->ClearTrack();
    switch (gFailure.load()) {
        case TFailure::GivesNoScore:
            return nullptr;
        case TFailure::RemovesTheFile:
            std::filesystem::remove(gConverted);
            [[fallthrough]];
        case TFailure::Throws:
            break;
    }
    throw std::bad_alloc();
}

TEST_F(ScorePrereadTest, AMidiFileWhoseConversionFailsOnTheReadIsReadByTheOpen) {
    const std::string karaoke = dir_ + "/Karaoke.kar";
    std::filesystem::copy_file(std::string(QSM_TESTDATA_DIR) + "/../fuzz/corpus/smf_reader/karaoke_text.mid",
                               karaoke);
    const std::string many = dir_ + "/many.mid";
    std::ofstream(many, std::ios::binary) << ManyNotesMidi(3, 200);
    qsm::SetPrereadMidiConversion(FailingConversion);
    int failures = 0;
    for (const std::string& path : {karaoke, many}) {
        ASSERT_TRUE(client_->OpenFile(path.c_str(), true));
        const std::string expected = MidiDocument();
        client_->OpenFile(nullptr, 0);
        for (unsigned threads : {1u, 4u}) {
            qsm::SetParallelThreads(threads);
            for (TFailure failure : {TFailure::Throws, TFailure::GivesNoScore}) {
                gFailure = failure;
                qsm::StartScorePreread(("/xprint " + path).c_str());
                ASSERT_TRUE(client_->OpenFile(path.c_str(), true));
                EXPECT_EQ(gFailures, ++failures);
                EXPECT_FALSE(qsm::HasScorePreread(path.c_str()));
                EXPECT_EQ(MidiDocument(), expected) << path << " " << threads;
                client_->OpenFile(nullptr, 0);
            }
        }
    }
    EXPECT_TRUE(boxes_.empty());

    // The file gone by then: the open tells what an open of a missing file tells.
    const std::string gone = dir_ + "/gone.mid";
    EXPECT_FALSE(client_->OpenFile(gone.c_str(), true));
    const std::vector<ShownBox> plain = boxes_;
    ASSERT_EQ(plain.size(), 1u);
    boxes_.clear();
    std::filesystem::copy_file(many, gone);
    gConverted = gone;
    gFailure = TFailure::RemovesTheFile;
    qsm::StartScorePreread(gone.c_str());
    EXPECT_FALSE(client_->OpenFile(gone.c_str(), true));
    EXPECT_EQ(gFailures, ++failures);
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, plain[0].caption);
    EXPECT_EQ(boxes_[0].text, plain[0].text);
    EXPECT_EQ(app_->GetScore(), app_->GetBlankScore());
}

TEST_F(ScorePrereadTest, ACancelInTheDialogDropsTheConversionOrTakesItWhenItHasEnded) {
    const std::string path = dir_ + "/many.mid";
    std::ofstream(path, std::ios::binary) << ManyNotesMidi(8, 600);
    ASSERT_TRUE(client_->OpenFile(path.c_str(), true));
    const std::string expected = Body();
    client_->OpenFile(nullptr, 0);
    qsm::StartScorePreread(path.c_str());
    qsm::SettleScorePreread(path.c_str());
    ASSERT_TRUE(qsm::HasScorePreread(path.c_str()));
    qsm::TMidiPreread made;
    bool taken = false;
    {
        TLongTaskDlg dialog(frame_, IDD_WORKING, 1, 1);
        dialog.Create();
        dialog.Cancelled = 1;
        taken = qsm::TakeMidiPreread(path.c_str(), dialog, made);
        dialog.CloseDialog();
    }
    EXPECT_FALSE(qsm::HasScorePreread(path.c_str()));
    std::unique_ptr<TMusicScore> score(made.Score);
    EXPECT_EQ(taken, made.Data != nullptr);
    EXPECT_EQ(taken, score != nullptr);
    // Either way nothing is left over: the next open reads the file and shows the whole score.
    ASSERT_TRUE(client_->OpenFile(path.c_str(), true));
    EXPECT_EQ(Body(), expected);
}

TEST_F(ScorePrereadTest, ADamagedMidiFileTellsTheSameAsWithoutTheRead) {
    const std::string whole = ManyNotesMidi(2, 40);
    std::vector<std::pair<std::string, std::string>> files = {
        {"empty.mid", ""},
        {"text.mid", "not a MIDI file\n"},
        {"cut.mid", whole.substr(0, whole.size() / 2)},
        {"header.mid", whole.substr(0, 20)},
    };
    for (size_t at : {9u, 12u, 25u, 40u, 90u, 300u}) {
        std::string flipped = whole;
        flipped[at] = static_cast<char>(flipped[at] ^ 0xA5);
        files.emplace_back("flipped" + std::to_string(at) + ".mid", flipped);
    }
    std::vector<std::string> paths = {dir_ + "/missing.mid", dir_ + "/folder.mid"};
    std::filesystem::create_directory(paths.back());
    for (const auto& [name, bytes] : files) {
        paths.push_back(dir_ + "/" + name);
        std::ofstream(paths.back(), std::ios::binary) << bytes;
    }
    for (const std::string& path : paths) {
        boxes_.clear();
        const bool opened = client_->OpenFile(path.c_str(), true);
        const std::string plain = opened ? MidiDocument() : "";
        const std::vector<ShownBox> plainBoxes = boxes_;
        client_->OpenFile(nullptr, 0);
        boxes_.clear();
        qsm::StartScorePreread(path.c_str());
        EXPECT_EQ(client_->OpenFile(path.c_str(), true), opened) << path;
        EXPECT_EQ(opened ? MidiDocument() : "", plain) << path;
        ASSERT_EQ(boxes_.size(), plainBoxes.size()) << path;
        for (size_t i = 0; i < boxes_.size(); ++i) {
            EXPECT_EQ(boxes_[i].caption, plainBoxes[i].caption) << path;
            EXPECT_EQ(boxes_[i].text, plainBoxes[i].text) << path;
        }
        client_->OpenFile(nullptr, 0);
    }
}

}  // namespace
