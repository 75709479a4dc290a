// Every test program over the drawing library starts as the programs do: with the score hooks installed.
// The library adds this file to each test program that links it (render/CMakeLists.txt).
#include <gtest/gtest.h>

#include "render/hooks.h"

namespace {

class ScoreHooksEnvironment : public ::testing::Environment {
public:
    void SetUp() override { qsm::InstallScoreHooks(); }
};

[[maybe_unused]] ::testing::Environment* const kScoreHooks =
    ::testing::AddGlobalTestEnvironment(new ScoreHooksEnvironment);

}  // namespace
