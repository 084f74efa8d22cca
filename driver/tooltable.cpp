#include "driver/mainmenu.h"
#include "tools/spline/splinefit.h"

// The tools of the main menu; an entry stays empty until its tool is part of the program.
const ToolTable tools = {
    .average = nullptr,
    .box_area = nullptr,
    .output_coords = nullptr,
    .fftdisplay = nullptr,
    .lattice = nullptr,
    .ctffit = nullptr,
    .splinefit = splinefit,
    .show_peaks = nullptr,
};
