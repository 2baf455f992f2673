// The fixture of the dialog tests: scripted answers for the length of a test, every one of them
// used by its end, and a temporary folder for the files the dialogs look at.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "platform/forms/Dialogs.h"
#include "tests/common/TestSupport.h"

class ScriptedDialogTest : public ::testing::Test {
 protected:
  // DriveToolkit: the answers are played into the toolkit's real windows.
  explicit ScriptedDialogTest(bool DriveToolkit = false) : driveToolkit_(DriveToolkit) {}
  void SetUp() override { TDialogScript::Start(driveToolkit_); }
  void TearDown() override {
    EXPECT_EQ(TDialogScript::Pending(), 0u) << "answers left unused";
    TDialogScript::Stop();
  }
  void Touch(const std::string& name) { std::ofstream(dir.File(name)) << "x"; }

  TestTempDir dir;

 private:
  bool driveToolkit_;
};
