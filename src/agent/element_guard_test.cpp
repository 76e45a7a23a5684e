#include "agent/element_guard.h"

#include <gtest/gtest.h>

#include <new>

#include "temp_dir.h"

namespace {

TEST(ElementGuard, AFailingScannerLosesOnlyItsOwnElement) {
  scanunix_test::TempDir dir;
  OutputFile file;
  ASSERT_TRUE(file.Create(dir / "a.scn"));
  DocumentWriter document(file);
  document.Markup("<doc>");
  EXPECT_TRUE(WriteElementGuarded(file, document, "<a></a>", [&] { document.Markup("<a>1</a>"); }));
  const Status failure = WriteElementGuarded(file, document, "<b></b>", [&] {
    document.Markup("<b>" + std::string(100000, 'x'));  // written out in part
    throw std::bad_alloc();
  });
  ASSERT_FALSE(failure);
  EXPECT_EQ(failure.failure().reason, "std::bad_alloc");
  document.Markup("</doc>");
  ASSERT_TRUE(file.Commit());
  EXPECT_EQ(scanunix_test::ReadFile(dir / "a.scn"), "<doc><a>1</a><b></b></doc>");
}

}  // namespace
