#include "driver/mainmenu.h"
#include "tools/area/coords.h"
#include "tools/spline/splinefit.h"
#include "tools/transform/ctf.h"
#include "tools/transform/lattice.h"
#include "tools/transform/spots.h"

// The tools of the main menu; an entry stays empty until its tool is part of the program.
const ToolTable tools = {
    .average = nullptr,
    .box_area = nullptr,
    .output_coords = output_coords,
    .fftdisplay = nullptr,
    .lattice = lattice,
    .ctffit = ctffit,
    .splinefit = splinefit,
    .show_peaks = show_peaks,
};
