// The text-file reader and writer: line ends, cut lines, numbers per line, appending.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/child.h"
#include "textio/textfile.h"

namespace {

struct Line {
  std::string text;
  bool carriage_return, newline;
};
struct Case {
  std::string contents;
  size_t limit;
  std::vector<Line> lines;
};

TEST(TextFile, LinesEndWithTheirLineEndOrTheFile) {
  const Case cases[] = {
      {"a\nb\n", 80, {{"a", false, true}, {"b", false, true}}},
      {"a\r\nb", 80, {{"a", true, true}, {"b", false, false}}},
      {"\n\n", 80, {{"", false, true}, {"", false, true}}},
      {"", 80, {}},
      {"abcdef\r\nxy\n", 3, {{"abc", true, true}, {"xy", false, true}}},
      {"x\ry\r", 80, {{"x\ry\r", false, false}}},
  };
  const testsupport::TempFolder dir;
  const std::string path = dir / "text";
  for (const Case& c : cases) {
    TextWriter out(path);
    out.text(c.contents);
    ASSERT_TRUE(out.close());
    TextReader in(path);
    ASSERT_TRUE(in.is_open());
    std::string text;
    for (const Line& want : c.lines) {
      ASSERT_TRUE(in.line(text, c.limit)) << c.contents;
      EXPECT_EQ(text, want.text);
      EXPECT_EQ(in.carriage_return(), want.carriage_return) << want.text;
      EXPECT_EQ(in.newline(), want.newline) << want.text;
    }
    EXPECT_FALSE(in.line(text)) << c.contents;
  }
}

TEST(TextFile, NumbersAreReadFreeFormatOneLineAtATime) {
  const testsupport::TempFolder dir;
  const std::string path = dir / "text";
  TextWriter out(path);
  out.line("1 2 3");
  ASSERT_TRUE(out.close());
  TextWriter more(path, true);
  more.line("4,,6");
  more.line("1.5e1/");
  ASSERT_TRUE(more.close());

  TextReader in(path);
  int v[3] = {0, 0, 0};
  EXPECT_TRUE(in.ints(3, v).complete());
  EXPECT_EQ(v[2], 3);
  EXPECT_TRUE(in.ints(3, v).complete());
  EXPECT_EQ((std::vector<int>{v[0], v[1], v[2]}), (std::vector<int>{4, 2, 6}));
  float r[2] = {0, 7};
  EXPECT_TRUE(in.reals(2, r).ended);
  EXPECT_EQ(r[0], 15.0f);
  EXPECT_EQ(r[1], 7.0f);
  EXPECT_TRUE(in.reals(2, r).error);  // the end of the file
}

TEST(TextFile, AMissingFileOrFolderIsReportedNotUsed) {
  TextReader in("/nonexistent/folder/file");
  std::string text;
  EXPECT_FALSE(in.is_open());
  EXPECT_FALSE(in.line(text));
  TextWriter out("/nonexistent/folder/file");
  EXPECT_FALSE(out.is_open());
  out.line("lost");
  EXPECT_FALSE(out.close());
}

}  // namespace
