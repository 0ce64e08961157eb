// A temporary folder for each test of the file layer, and the check that
// the test left no handle open behind it.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>

#include "tests/platform/test_support.hpp"

class FileLayerTest : public testing::Test {
  protected:
    void SetUp() override { handlesBefore = PlatformTest::OpenHandleCount(); }

    void TearDown() override {
        if (handlesBefore.has_value()) {
            EXPECT_EQ(PlatformTest::OpenHandleCount(), handlesBefore)
                << "the test left a handle open";
        }
    }

    PlatformTest::TemporaryFolder folder;

  private:
    std::optional<std::size_t> handlesBefore;
};
