// The application's shared records: plain global state that lives for the whole
// run. Every record is zero when the program starts (static storage).
//
// Integers are 32-bit signed, reals 32-bit, texts fixed-length and blank-padded.
#pragma once

#include <cstdint>

constexpr int kMessageLines = 60;
constexpr int kLineLength = 80;
constexpr int kFileNameLength = 256;

// Densities are shown as colour indices 0 (amin and below) to this one (amax and above).
constexpr int32_t kTopColourIndex = 125;
constexpr float kTopColourLevel = static_cast<float>(kTopColourIndex);

// General display state.
struct GenRecord {
  int32_t multi_layout;                        // 1 while sections are placed side by side in rows
  int32_t is_image;                            // 1 real image (is_image_mode), 0 transform
  int32_t new_display;                         // 1 when the next display starts a new picture
  int32_t must_exist;                          // check_file mode: 1 input file, 0 output file
  int32_t redisplay;                           // 1 when the colour-table tool needs a redraw
  int32_t record_answers;                      // 1 when start-up answers go to the answer file
  int32_t defaults_unit;                       // 0 interactive, 5 standard input, 11 answer file
  int32_t centre_x, centre_y;                  // centre of the section being placed
  int32_t ref_centre_x, ref_centre_y;          // reference centre point
  int32_t status;                              // status word of the last display operation
  int32_t step_x, step_y;                      // increments between section centres in rows
  int32_t area_x1, area_x2, area_y1, area_y2;  // screen rectangle of the section
  int32_t raster_width, raster_height;         // image-area raster size
  int32_t screen_width, screen_height;         // largest image the display shows
  int32_t map_mode;                            // header data mode; maps made from it: output_mode
  int32_t image_number;                        // stored image a draw addresses (0 = single)
  int32_t display_count;                       // 1 single, N scrolling, -N movie
  int32_t compression;                         // pixel compression factor (1 = none)
  int32_t message_lines;                       // lines of message_text in use
  int32_t shown_width, shown_height;           // displayed pixels of one section
  int32_t section_count;                       // number of sections to display
  int32_t first_x, first_y, first_z;           // first column, row, section shown
  int32_t last_x, last_y, last_z;              // last column, row, section shown
  int32_t nx, ny, nz;                          // map size
  float amin, amax;                            // density limits of the display
  float dmean;                                 // mean density from the header
  float scale;                                 // kTopColourIndex / (amax - amin)
  char message_text[kMessageLines][kLineLength];  // label and prompt lines
};

// The image-area raster of colour indices 0 to kTopColourIndex, row by row from the top.
constexpr int64_t kMapRasterSize = 268435456;
struct MapRecord {
  int32_t raster[kMapRasterSize];
};

// The overlay record of the interactive FFT; its first member is shared with the
// transform display.
constexpr int kFtRasterSize = 4202496;
struct OvlyRecord {
  int32_t amplitude_display;  // 1 amplitudes, 0 intensities
  int32_t auto_scale;         // 1 automatic transform levels, 0 user's limits
  int32_t box_nx, box_ny;     // transform size
  int32_t box_row;            // padded row length nx + 2
  float image_min, image_max, image_mean;
  float ft_min, ft_max, ft_mean;
  float ft_data[kFtRasterSize];      // transform input, nx + 2 by ny, in place
  int32_t ft_levels[kFtRasterSize];  // transform display levels
};

// Values taken from the project parameter file DATAFILE.dat.
struct DatafileRecord {
  char param_line_a[kLineLength];   // line 32, first lattice
  char param_line_b[kLineLength];   // line 35, second lattice
  char image_name[kLineLength];     // line 12
  int32_t central_flag;             // 1 after the reduced central transform
  int32_t project_type;             // line 23; 2 = diffraction project
  float param_1, param_2;           // line 58, lattice origin
  int32_t diffraction_choice;       // 1 to 4
  char spot_file[kFileNameLength];  // image name + ".spt"
  int32_t click_mode;               // 1 after "tvkclick.tvk" was chosen
  int32_t transform_kind;           // 1 ".fft", 2 ".red.fft", else 0
  int32_t corner_counter;           // 0 off; 1-4 next corner transform
  int32_t corner_start;             // restart corner written by CTF fitting
};

// The lattice record; lattice tables are indexed (h, k) from -400 to 400, h fastest.
constexpr int kMaxSpots = 20000;
constexpr int kLatticeSide = 801;
constexpr int kLatticePoints = kLatticeSide * kLatticeSide;
struct LatrefRecord {
  int32_t spot_count;                // n, 0 to 20000
  int32_t order_count;               // m, 1 to 400
  int32_t screen_x[kLatticePoints];  // screen position of every lattice point
  int32_t screen_y[kLatticePoints];
  float x0, y0;              // origin, map coordinates
  float ax, ay, bx, by;      // lattice vectors A and B
  float length_a, length_b;  // |A|, |B|
  float angle_a, angle_b;    // directions of A and B in degrees
  int32_t refined;           // 1 after a successful fit
  int32_t spot_h[kMaxSpots], spot_k[kMaxSpots];
  float spot_x[kMaxSpots], spot_y[kMaxSpots];  // also vertex scratch of other tools
  float tilt_distance[kLatticePoints];
  float predicted_x[kLatticePoints], predicted_y[kLatticePoints];
  char map_file[kFileNameLength];   // the displayed map file name
  char tool_file[kFileNameLength];  // file names typed in the lattice tool
};

// The large work record of averaging, the interactive FFT and straightening.
constexpr int kSplineRasterWidth = 2048;
constexpr int kSplineRasterHeight = 4096;
constexpr int kSplineRasterSize = kSplineRasterWidth * kSplineRasterHeight;
constexpr int kSplinePoints = 20000;
struct SplineRecord {
  float raster[kSplineRasterSize];        // row stride 2048 as a picture
  int16_t int_raster[kSplineRasterSize];  // quantised copy, row stride 2048
  double xd[kSplinePoints], yd[kSplinePoints], wd[kSplinePoints];
  double rd[kSplinePoints], xn[kSplinePoints], fn[kSplinePoints];
  double gn[kSplinePoints], dn[kSplinePoints], theta[kSplinePoints];
};

// Clears gen, datafile and latref (without its tables) for a fresh run (the large
// rasters are left alone: every run writes them before reading).
void records_reset();

extern GenRecord gen;
extern MapRecord map;
extern OvlyRecord ovly;
extern DatafileRecord datafile;
extern LatrefRecord latref;
extern SplineRecord spline;
