// Maps written by this layer, read back by an independent reader from the
// system's packages. Skipped when the reader is absent.
#include <cmath>
#include <sstream>

#include "map_test_util.h"

namespace maptest {
namespace {

using MapIndependentReader = MapFileTest;

TEST_F(MapIndependentReader, MrcfileSeesOurHeaderAndData) {
  if (testsupport::run({"python3", "-c", "import mrcfile"}).status != 0)
    GTEST_SKIP() << "python3-mrcfile is not installed";
  for (int mode : {1, 2, 4}) {
    SCOPED_TRACE("mode " + std::to_string(mode));
    const std::string name = path("m" + std::to_string(mode) + ".map");
    std::vector<float> data(30 * (mode == 4 ? 2 : 1));
    for (size_t i = 0; i < data.size(); ++i)
      data[i] = mode == 1 ? static_cast<int>(i) * 997 - 15000 : std::cos(0.3f * i) * 50.0f;
    const int nxyz[3] = {5, 3, 2}, mxyz[3] = {10, 6, 2};
    ::testing::internal::CaptureStdout();
    imopen(4, name, "new");
    icrhdr(4, nxyz, mxyz, mode, nullptr, 0);
    ialorg(4, 2.5f, -1.0f, 0.0f);
    iwrhdr(4, title("independent check").c_str(), 0, -50.0f, 50.0f, 0.25f);
    for (int s = 0; s < 2; ++s) iwrsec(4, data.data() + s * data.size() / 2);
    imclose(4);
    ::testing::internal::GetCapturedStdout();

    const std::string script = "import mrcfile, warnings\nwarnings.simplefilter('ignore')\n" +
                               ("with mrcfile.open('" + name + "', permissive=True) as m:\n") +
                               R"(  h = m.header
  print(h.nx, h.ny, h.nz, h.mode, h.mx, h.my, h.mz, h.nlabl, h.mapc, h.mapr, h.maps)
  print(float(h.cella.x), float(h.cellb.alpha), float(h.origin.x), float(h.origin.y))
  print(float(h.dmin), float(h.dmax), float(h.dmean))
  print(h.label[0].decode().rstrip() + '|')
  for v in m.data.ravel():
    print(repr(float(v.real)), repr(float(v.imag)) if m.data.dtype.kind == 'c' else '')
)";
    std::istringstream in(testsupport::run({"python3", "-c", script}).out);
    std::vector<double> header(18);
    for (double& x : header) in >> x;
    EXPECT_EQ(header, (std::vector<double>{5, 3, 2, double(mode), 10, 6, 2, 1, 1, 2, 3, 10, 90, 2.5,
                                           -1, -50, 50, 0.25}))
        << in.str();
    std::string label;
    std::getline(in >> std::ws, label);
    EXPECT_EQ(label, "independent check|");
    std::vector<float> seen;
    for (double x; in >> x;) seen.push_back(static_cast<float>(x));
    EXPECT_EQ(seen, data);
  }
}

}  // namespace
}  // namespace maptest
