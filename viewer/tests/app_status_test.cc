// The frame's position texts follow the play position from the application's idle pass.
#include <gtest/gtest.h>

#include <memory>

#include "viewer/app.h"
#include "viewer/options.h"
#include "viewer/tests/viewer_test_env.h"

namespace {

class StatusUpdateTest : public qsm::viewer_test::StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        SetDefaultOptions(ViewerOptions);
        app_ = std::make_unique<TQSMViewerApp>("QuillStave Composer Viewer");
        app_->SetPositionTextsHandler([this] { ++shown_; });
    }
    void TearDown() override {
        app_.reset();
        StoreTest::TearDown();
    }
    std::unique_ptr<TQSMViewerApp> app_;
    int shown_ = 0;
};

TEST_F(StatusUpdateTest, TextsAreRefreshedWhenThePositionMovesOrAPerformanceEnds) {
    TQSMViewerApp::TPositionRecord none = app_->GetPositionRecord(false);
    EXPECT_EQ(none.Tick, 0xFFFFFFFFu);
    EXPECT_EQ(none.Flags, 0u);

    // Nothing shown yet: the first update shows the position, a second one has nothing new.
    app_->UpdateStatusIfMoved();
    EXPECT_EQ(shown_, 1);
    app_->UpdateStatusIfMoved();
    EXPECT_EQ(shown_, 1);

    // While a performance runs the play timer shows the position; its end shows it once more.
    app_->SetPerformanceActive(true);
    EXPECT_EQ(app_->GetPositionRecord(true).Flags, 1u);
    app_->UpdateStatusIfMoved();
    EXPECT_EQ(shown_, 1);
    app_->SetPerformanceActive(false);
    app_->UpdateStatusIfMoved();
    EXPECT_EQ(shown_, 2);

    // Only the first idle pass after messages looks.
    app_->ClearLastStatus();
    app_->IdleAction(1);
    EXPECT_EQ(shown_, 2);
    app_->IdleAction(0);
    EXPECT_EQ(shown_, 3);
}

}  // namespace
