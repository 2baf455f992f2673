// The desktop's file-type icon as a picture.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "codecs/bmpfilt.h"
#include "core/pxxBitmaps.h"
#include "tests/common/TestSupport.h"

TEST(FileIcon, TheDesktopsTypeIconBecomesAPictureWithAlpha) {
  if (access("/usr/share/icons/Adwaita/index.theme", R_OK) != 0 && access("/usr/share/icons/hicolor/index.theme", R_OK) != 0)
    GTEST_SKIP() << "no icon theme installed";
  TestTempDir dir;
  std::ofstream(dir.File("note.txt")) << "text";
  TPXBitmap bitmap;
  GetFileIconBitmap(dir.File("note.txt"), &bitmap);
  EXPECT_EQ(bitmap.Width(), 32);
  EXPECT_EQ(bitmap.Height(), 32);
  EXPECT_TRUE(bitmap.HasAlphaChannel());

  // A file that does not exist has no icon: the picture stays as it was.
  TPXBitmap untouched;
  untouched.Allocate(3, 2, px24RGB);
  GetFileIconBitmap(dir.File("missing.txt"), &untouched);
  EXPECT_EQ(untouched.Width(), 3);
  EXPECT_EQ(GetShellFileIcon(dir.File("missing.txt")), nullptr);
  EXPECT_EQ(GetShellFileIcon(""), nullptr);
}
