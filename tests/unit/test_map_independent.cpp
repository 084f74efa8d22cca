// Maps written by this layer, read back by independent readers from the system's
// packages (python3-mrcfile). Skipped when the reader is absent.
#include <cmath>
#include <cstdio>
#include <sstream>

#include "map_test_util.h"

namespace maptest {
namespace {

using MapIndependentReader = MapFileTest;

std::string run_command(const std::string& command) {
  std::string text;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    for (size_t n; (n = std::fread(buf, 1, sizeof buf, p)) > 0;) text.append(buf, n);
    pclose(p);
  }
  return text;
}

// Writes a 5 x 3 x 2 map of the mode through the layer; returns the reals written.
std::vector<float> write_sample(const std::string& name, int mode) {
  const int per = mode >= 3 ? 2 : 1;
  std::vector<float> data(30 * per);
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = mode == 1 ? static_cast<float>(static_cast<int>(i) * 997 - 15000)
                        : std::cos(0.3f * i) * 50.0f;
  int nxyz[3] = {5, 3, 2}, mxyz[3] = {10, 6, 2};
  ::testing::internal::CaptureStdout();
  imopen(4, name, "new");
  icrhdr(4, nxyz, mxyz, mode, nullptr, 0);
  ialorg(4, 2.5f, -1.0f, 0.0f);
  iwrhdr(4, title("independent check").c_str(), 0, -50.0f, 50.0f, 0.25f);
  for (int s = 0; s < 2; ++s) iwrsec(4, data.data() + s * 15 * per);
  imclose(4);
  ::testing::internal::GetCapturedStdout();
  return data;
}

TEST_F(MapIndependentReader, MrcfileSeesOurHeaderAndData) {
  if (!std::filesystem::exists("/usr/bin/python3") ||
      run_command("/usr/bin/python3 -c 'import mrcfile' 2>&1 && echo ok") != "ok\n")
    GTEST_SKIP() << "python3-mrcfile is not installed";
  for (int mode : {1, 2, 4}) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    const std::string name = path("m" + std::to_string(mode) + ".map");
    const std::vector<float> data = write_sample(name, mode);
    const std::string script =
        "import mrcfile, warnings\n"
        "warnings.simplefilter('ignore')\n"
        "with mrcfile.open('" +
        name +
        "', permissive=True) as m:\n"
        "  h = m.header\n"
        "  print(h.nx, h.ny, h.nz, h.mode, h.mx, h.my, h.mz, h.nlabl, h.mapc, h.mapr, h.maps)\n"
        "  print(float(h.cella.x), float(h.cellb.alpha), float(h.origin.x), float(h.origin.y))\n"
        "  print(float(h.dmin), float(h.dmax), float(h.dmean))\n"
        "  print(h.label[0].decode().rstrip() + '|')\n"
        "  for v in m.data.ravel():\n"
        "    print(repr(float(v.real)), repr(float(v.imag)) if m.data.dtype.kind == 'c' else '')\n";
    std::istringstream in(
        run_command("/usr/bin/python3 -c \"$(cat <<'EOF'\n" + script + "EOF\n)\" 2>&1"));
    int v[11];
    for (int& x : v) in >> x;
    EXPECT_EQ(std::vector<int>(v, v + 11), (std::vector<int>{5, 3, 2, mode, 10, 6, 2, 1, 1, 2, 3}))
        << in.str();
    float cell_a, alpha, ox, oy, dmin, dmax, dmean;
    in >> cell_a >> alpha >> ox >> oy >> dmin >> dmax >> dmean;
    EXPECT_EQ(cell_a, 10.0f);
    EXPECT_EQ(alpha, 90.0f);
    EXPECT_EQ(ox, 2.5f);
    EXPECT_EQ(oy, -1.0f);
    EXPECT_EQ(dmin, -50.0f);
    EXPECT_EQ(dmax, 50.0f);
    EXPECT_EQ(dmean, 0.25f);
    std::string label;
    in >> std::ws;
    std::getline(in, label);
    EXPECT_EQ(label, "independent check|");
    std::vector<float> seen;
    for (double x; in >> x;) seen.push_back(static_cast<float>(x));
    EXPECT_EQ(seen, data);
  }
}

}  // namespace
}  // namespace maptest
