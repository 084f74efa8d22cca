// The PostScript writer: exact file layout, and what Ghostscript really prints from it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "display/pswriter.h"
#include "tests/support/ghostscript.h"

namespace {

const testsupport::TempFolder folder;

std::string temp_path(const std::string& name) {
  return folder / (name + ".ps");
}

using testsupport::read_lines;

using PixelFn = std::function<unsigned char(int row, int col)>;

// Writes a whole picture; with colour tables given it is a colour image.
void write_picture(const std::string& path, int orientation, float x, float y, float w, float h,
                   int ncols, int nrows, const PixelFn& pixel, const int* red = nullptr,
                   const int* green = nullptr, const int* blue = nullptr) {
  pscriptinit(std::fopen(path.c_str(), "w"), 0, orientation, x, y, w, h, 0, ncols, nrows);
  if (red) pscriptcolourtable(red, green, blue);
  std::vector<unsigned char> row(ncols);
  for (int r = 0; r < nrows; ++r) {
    for (int c = 0; c < ncols; ++c) row[c] = pixel(r, c);
    red ? pscriptcolourimage(row.data()) : pscriptgreyimage(row.data());
  }
  pscriptendimage();
  pscriptend();
}

// The lines after the first line equal to s.
std::vector<std::string> lines_after(const std::vector<std::string>& lines, const std::string& s) {
  auto it = std::find(lines.begin(), lines.end(), s);
  return it == lines.end() ? std::vector<std::string>{}
                           : std::vector<std::string>(it + 1, lines.end());
}

}  // namespace

TEST(PsWriter, GreyFileLayoutIsExact) {
  const std::string path = temp_path("grey");
  const unsigned char px[2][3] = {{0, 10, 255}, {127, 128, 1}};
  write_picture(path, 0, 10.5f, 20.25f, 30, 20, 3, 2, [&](int r, int c) { return px[r][c]; });
  const std::vector<std::string> expected = {
      "%!PS-Adobe-",
      "%EndComments",
      "initgraphics",
      std::string(16, ' '),
      "/Helvetica findfont 20 scalefont setfont",
      "10 dict begin",
      "2.836464 2.836464 scale",
      "     0 rotate    10.50   20.25 translate    30.00   20.00 scale",
      "/pixels     3 string def",
      "     3     2 8",
      "[     3 0 0     -2 0     2]",
      "{currentfile pixels readhexstring pop} bind",
      "image",
      "000AFF",
      "7F8001",
      "end",
      "showpage",
      "%Trailer"};
  EXPECT_EQ(read_lines(path), expected);
  std::remove(path.c_str());
}

TEST(PsWriter, ColourHeaderCarriesClampedTablesAndRowSize) {
  int red[256], green[256], blue[256];
  for (int i = 0; i < 256; ++i) red[i] = i, green[i] = 255 - i, blue[i] = i;
  blue[0] = -5, blue[1] = 300;
  const std::string path = temp_path("colour");
  write_picture(
      path, 0, 0, 0, 10, 10, 5, 1, [](int, int c) { return c; }, red, green, blue);
  const std::vector<std::string> lines = read_lines(path);
  std::string identity;
  for (int i = 0; i < 16; ++i) identity += (i < 10 ? " 00" : " 0") + std::to_string(i);
  EXPECT_EQ(lines_after(lines, "/red [").at(0), identity);
  EXPECT_EQ(lines_after(lines, "/red [").at(15).substr(56), " 254 255");
  EXPECT_EQ(lines_after(lines, "/red [").at(16), "] def");
  EXPECT_EQ(lines_after(lines, "/green [").at(0).substr(0, 12), " 255 254 253");
  EXPECT_EQ(lines_after(lines, "/blue [").at(0).substr(0, 12), " 000 255 002");
  EXPECT_NE(std::find(lines.begin(), lines.end(), "/outpixels    15 string def"), lines.end());
  EXPECT_NE(std::find(lines.begin(), lines.end(), "0 1     4 {setpixel} for"), lines.end());
  EXPECT_EQ(lines_after(lines, "false 3 colorimage").at(0), "0001020304");

  // The next page starts again from identity tables.
  pscriptinit(std::fopen(path.c_str(), "w"), 0, 0, 0, 0, 10, 10, 0, 5, 1);
  const unsigned char row[5] = {};
  pscriptcolourimage(row);
  pscriptend();
  EXPECT_EQ(lines_after(read_lines(path), "/blue [").at(0), identity);
  std::remove(path.c_str());
}

TEST(PageLayout, FitsRegionOnPage) {
  auto expect = [](PageLayout p, int o, float w, float h, float xm, float ym) {
    EXPECT_EQ(p.orientation, o);
    EXPECT_FLOAT_EQ(p.width, w);
    EXPECT_FLOAT_EQ(p.height, h);
    EXPECT_FLOAT_EQ(p.xmargin, xm);
    EXPECT_FLOAT_EQ(p.ymargin, ym);
  };
  expect(page_layout(100, 400, 0), 0, 67.5f, 270, 71.25f, 12.5f);  // too tall: height limited
  expect(page_layout(100, 120, -1), 0, 190, 228, 10, 33.5f);       // default portrait width
  expect(page_layout(100, 200, 50), 0, 50, 100, 80, 97.5f);
  expect(page_layout(100, 140, 0), 0, 190, 266, 10, 14.5f);  // just short of the limit
  expect(page_layout(200, 190, 0), 1, 200, 190, 47.5f, 10);  // too tall in landscape
  expect(page_layout(400, 100, 0), 1, 270, 67.5f, 12.5f, 71.25f);
  expect(page_layout(50, 50, 100), 1, 100, 100, 97.5f, 55);    // square prints in landscape
  expect(page_layout(100, 120, 500), 0, 190, 228, 10, 33.5f);  // wider than the sheet
  expect(page_layout(400, 100, 500), 1, 270, 67.5f, 12.5f, 71.25f);
}

// Ghostscript prints the pictures in their place and the right way up: in portrait a band
// over the top rows is at the top of the sheet; in landscape the picture's top lies along the
// sheet's left edge and its left half toward the sheet's bottom. Colours go through the table.
TEST(PsWriterGhostscript, PicturesPrintInPlaceTheRightWayUpInTheirColours) {
  int red[256], green[256], blue[256];
  for (int i = 0; i < 256; ++i) red[i] = green[i] = blue[i] = i;
  red[1] = 255, green[1] = blue[1] = 0;  // 1: pure red
  for (auto [ncols, nrows, colour] : {std::tuple{20, 40, false}, {40, 20, false}, {20, 40, true}}) {
    SCOPED_TRACE(std::to_string(ncols) + (colour ? " colour" : " grey"));
    // The band: value 0 (1 in colour) over the top 5 rows; below it 40 left, 200 right.
    auto value = [ncols, colour](int r, int c) -> unsigned char {
      return r < 5 ? colour : c < ncols / 2 ? 40 : 200;
    };
    const std::string path = temp_path("gs");
    const PageLayout l = page_layout(ncols, nrows, 0);
    write_picture(path, l.orientation, l.xmargin, l.ymargin, l.width, l.height, ncols, nrows, value,
                  colour ? red : nullptr, green, blue);
    const gstest::Raster page = gstest::render(path, colour ? "ppmraw" : "pgmraw", 72);
    ASSERT_TRUE(page.ok()) << page.error;
    const double k = 72 / 25.4;  // raster pixels per millimetre
    // The colour at millimetres (x, y) from the sheet's lower left corner.
    auto at_mm = [&](double x, double y) {
      std::vector<int> c;
      for (int ch = 0; ch < page.channels; ++ch)
        c.push_back(
            page.at(static_cast<int>(x * k), page.height - 1 - static_cast<int>(y * k), ch));
      return c;
    };
    const std::vector<int> band = colour ? std::vector<int>{255, 0, 0} : std::vector<int>{0};
    const std::vector<int> dark(page.channels, 40), light(page.channels, 200),
        paper(page.channels, 255);
    if (l.orientation == 0) {
      EXPECT_EQ(at_mm(105, l.ymargin + l.height - 3), band);
      EXPECT_EQ(at_mm(l.xmargin + 3, l.ymargin + 3), dark);
      EXPECT_EQ(at_mm(l.xmargin + l.width - 3, l.ymargin + 3), light);
      EXPECT_EQ(at_mm(l.xmargin - 3, l.ymargin + 3), paper);
    } else {
      EXPECT_EQ(at_mm(210 - l.ymargin - l.height + 3, 148), band);
      EXPECT_EQ(at_mm(105, l.xmargin + 3), dark);
      EXPECT_EQ(at_mm(105, l.xmargin + l.width - 3), light);
      EXPECT_EQ(at_mm(105, l.xmargin - 3), paper);
    }
  }
}
