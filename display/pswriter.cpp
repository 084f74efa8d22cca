#include "display/pswriter.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>
#include <string_view>

#include "textio/format.h"
#include "textio/strings.h"

namespace {

// Scale from millimetres to PostScript points used by every image header.
constexpr const char* kMillimetreScale = "2.836464 2.836464 scale";
// Bytes of a row per hex line.
constexpr int kBytesPerLine = 25;

// Saved state of the writer between calls.
std::FILE* l_ostream = nullptr;
char l_papersize[16] = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                        ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
// A landscape page is rotated by 90 degrees about the lower left corner, so the image
// origin moves down by the page width to stay on the sheet.
const float l_originoffset = 210.0f;
int l_orientation = 0;
float l_xorigin = 0, l_yorigin = 0, l_xsize = 0, l_ysize = 0;
int l_ncols = 0, l_nrows = 0;
std::array<int, 256> identity_table() {
  std::array<int, 256> t;
  for (int i = 0; i < 256; ++i) t[i] = i;
  return t;
}
std::array<int, 256> l_red = identity_table(), l_green = identity_table(),
                     l_blue = identity_table();
int l_headerdone = 0;
int l_rle = 0;

void put_line(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), l_ostream);
  std::fputc('\n', l_ostream);
}

// An integer in 4 characters with at least 3 digits (" 007"); table values are 0..255.
std::string fmt_i4_3(int value) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%4.3d", value);
  return buf;
}

// The two hex digits of every byte value, looked up per byte when rows are written.
const std::array<std::array<char, 2>, 256>& hex_digits() {
  static const auto table = [] {
    std::array<std::array<char, 2>, 256> t{};
    for (int i = 0; i < 256; ++i) {
      const std::string h = hex_format(i);
      t[i] = {h[0], h[1]};
    }
    return t;
  }();
  return table;
}

// Lines every image header starts with: the millimetre scale and the placement.
void put_placement() {
  put_line("10 dict begin");
  put_line(kMillimetreScale);
  put_line(fmt_i(l_orientation, 6) + " rotate " + fmt_f(l_xorigin, 8, 2) + fmt_f(l_yorigin, 8, 2) +
           " translate " + fmt_f(l_xsize, 8, 2) + fmt_f(l_ysize, 8, 2) + " scale");
}

// Image size and the matrix that puts the first row at the top of the printed image.
void put_image_size() {
  put_line(fmt_i(l_ncols, 6) + fmt_i(l_nrows, 6) + " 8");
  put_line("[" + fmt_i(l_ncols, 6) + " 0 0 " + fmt_i(-l_nrows, 6) + " 0" + fmt_i(l_nrows, 6) + "]");
}

void put_grey_header() {
  put_placement();
  put_line("/pixels" + fmt_i(l_ncols, 6) + " string def");
  put_image_size();
  put_line("{currentfile pixels readhexstring pop} bind");
  put_line("image");
}

void put_table(const char* name, const std::array<int, 256>& table) {
  put_line(std::string("/") + name + " [");
  for (int line = 0; line < 16; ++line) {
    std::string text;
    for (int i = 0; i < 16; ++i) text += fmt_i4_3(table[line * 16 + i]);
    put_line(text);
  }
  put_line("] def");
}

// The colour image reads each row of table indices and expands it to red, green and blue
// bytes through the three tables before colorimage sees it.
void put_colour_header() {
  put_placement();
  put_table("red", l_red);
  put_table("green", l_green);
  put_table("blue", l_blue);
  put_line("/inpixels" + fmt_i(l_ncols, 6) + " string def");
  put_line("/outpixels" + fmt_i(3LL * l_ncols, 6) + " string def");
  put_line("/temp 0 store");
  put_line("/pixel 0 store");
  put_line("/setpixel");
  put_line("{");
  put_line("  /temp exch store");
  put_line("  /pixel inpixels temp get store");
  put_line("  /temp temp 3 mul store");
  put_line("  outpixels temp red pixel get put");
  put_line("  outpixels temp 1 add green pixel get put");
  put_line("  outpixels temp 2 add blue pixel get put");
  put_line("} bind def");
  put_image_size();
  put_line("{");
  put_line("currentfile inpixels readhexstring pop pop");
  put_line("0 1" + fmt_i(l_ncols - 1, 6) + " {setpixel} for");
  put_line("outpixels");
  put_line("} bind");
  put_line("false 3 colorimage");
}

// One row as hex, 25 bytes a line; the row's last line holds what is left over.
void put_row(const unsigned char* row) {
  const auto& hex = hex_digits();
  char line[2 * kBytesPerLine + 1];
  for (int start = 0; start < l_ncols; start += kBytesPerLine) {
    const int count = std::min(kBytesPerLine, l_ncols - start);
    for (int i = 0; i < count; ++i) {
      line[2 * i] = hex[row[start + i]][0];
      line[2 * i + 1] = hex[row[start + i]][1];
    }
    line[2 * count] = '\n';
    std::fwrite(line, 1, 2 * count + 1, l_ostream);
  }
}

// One row of an image; the first row of a page also writes the image header.
void put_image_row(const unsigned char* row, void (*header)()) {
  if (!l_ostream || !row) return;
  if (!l_headerdone) {
    header();
    l_headerdone = 1;
  }
  put_row(row);
}

}  // namespace

void pscriptinit(std::FILE* unit, int /*paper*/, int orientation, float xorigin, float yorigin,
                 float width, float height, int rle, int ncols, int nrows) {
  const int landscape = orientation == 1 ? 1 : 0;
  l_ostream = unit;
  l_orientation = landscape ? 90 : 0;
  l_xorigin = xorigin;
  l_yorigin = yorigin - landscape * l_originoffset;
  l_xsize = width;
  l_ysize = height;
  l_rle = rle;
  l_ncols = ncols;
  l_nrows = nrows;
  l_red = l_green = l_blue = identity_table();
  l_headerdone = 0;
  if (!l_ostream) return;
  put_line("%!PS-Adobe-");
  put_line("%EndComments");
  put_line("initgraphics");
  put_line(std::string_view(l_papersize, sizeof l_papersize));
  put_line("/Helvetica findfont 20 scalefont setfont");
}

void pscriptcolourtable(const int* red, const int* green, const int* blue) {
  if (!l_ostream || !red || !green || !blue) return;
  for (int i = 0; i < 256; ++i) {
    l_red[i] = std::clamp(red[i], 0, 255);
    l_green[i] = std::clamp(green[i], 0, 255);
    l_blue[i] = std::clamp(blue[i], 0, 255);
  }
}

void pscriptgreyimage(const unsigned char* row) {
  put_image_row(row, put_grey_header);
}

void pscriptcolourimage(const unsigned char* row) {
  put_image_row(row, put_colour_header);
}

void pscriptendimage() {
  if (!l_ostream) return;
  put_line("end");
}

void pscriptend() {
  if (!l_ostream) return;
  put_line("showpage");
  put_line("%Trailer");
  std::fclose(l_ostream);
  l_ostream = nullptr;
}

PageLayout page_layout(int nx, int ny, float width) {
  // A region taller than wide is printed upright on the 210 x 295 mm page, any
  // other turned, each within its own limits.
  struct Sheet {
    int orientation;
    float default_width, max_height, across, down;
  };
  const Sheet sheet =
      nx < ny ? Sheet{0, 190.0f, 270.0f, 210.0f, 295.0f} : Sheet{1, 270.0f, 190.0f, 295.0f, 210.0f};
  const float fx = static_cast<float>(nx);
  const float fy = static_cast<float>(ny);
  PageLayout p{};
  p.orientation = sheet.orientation;
  // The default width is also the widest that fits across the sheet.
  p.width = width <= 0.0f ? sheet.default_width : std::min(width, sheet.default_width);
  p.height = fy * p.width / fx;
  if (p.height > sheet.max_height) {
    p.height = sheet.max_height;
    p.width = fx * sheet.max_height / fy;
  }
  p.xmargin = (sheet.across - p.width) / 2.0f;
  p.ymargin = (sheet.down - p.height) / 2.0f;
  return p;
}
