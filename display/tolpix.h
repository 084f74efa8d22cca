// The display operations: the one way the application reaches the screen.
//
// Every argument crosses by reference. Texts are fixed-length and blank-padded with
// their length passed alongside; integers are 32-bit signed, reals 32-bit floats.
// Coordinates are image coordinates (column x from the left, row y from the top of
// the stored picture) unless tolpixchangeorigin has been called, after which every
// y crossing this interface is mirrored about the current reference height.
//
// User actions reach the application only through the job code register `locjob`,
// read with tolpixwait. The display library defines it (and so does any other
// implementation of these operations, such as the dialogue tests' scripted display).
#pragma once

#include <cstdint>

// Job codes left in `locjob` by user actions.
constexpr int32_t kJobNone = -1;          // nothing has happened since the last read
constexpr int32_t kJobPointer = 0;        // left button over the picture: a pointer mark
constexpr int32_t kJobReturn = 100;       // Return in the entry box
constexpr int32_t kJobSlider1 = 101;      // slider 1 moved
constexpr int32_t kJobSlider2 = 102;      // slider 2 moved
constexpr int32_t kJobRubberLine = 104;   // rubber-band segment recorded (Ctrl + left up)
constexpr int32_t kJobRubberShape = 105;  // rubber-band shape finished (double click)
constexpr int32_t kJobTimer = 106;        // a tick of the timer started with tolpixtimer
constexpr int32_t kJobNoMemory = 999;     // the server refused a picture (or 200+ maps)

extern int32_t locjob;  // the job code register: the last job code posted

// Fixed lengths the application uses for its texts.
constexpr int kMenuItemLength = 64;
constexpr int kLabelLineLength = 80;
constexpr int kReplyLength = 80;
constexpr int kFontNameLength = 64;
constexpr int kMaxMenuItems = 100;
constexpr int kMaxFonts = 20;
constexpr int kMaxMaps = 200;
constexpr int kMaxLines = 8192;  // segments per tolpixdrawlines / tolpixremovelines call

// Largest rasters the library holds (larger ones are refused through IERR = 1).
constexpr int kMaxPictureSide = 16384;      // each side of a tolpixdrawimage raster
constexpr int kMaxOverlayPixels = 4202496;  // pixels of a tolpixoverlayinit raster

// ---- Operations, in the order of their operation index ----

void tolpixlib();                                      // 0
void tolpixchangecursor(int32_t& icursor);             // 1: shapes 0-8
void tolpixchangefont(int32_t& ifont, int32_t& ierr);  // 2
void tolpixchangeorigin();                             // 3: mirrored y from now on
void tolpixchangezoom(const int32_t& ifx, const int32_t& ify, const int32_t& izw,
                      const int32_t& izh, int32_t& ierr);  // 4
// 5: names receives nfonts names at a stride of kFontNameLength characters
// (room for kMaxFonts names is enough).
void tolpixcheckfonts(char* names, int32_t& nfonts);
void tolpixcheckimage(const int32_t& nx, const int32_t& ny, const int32_t& nmaps,
                      int32_t& ierr);  // 6
void tolpixclearimage();               // 7
void tolpixcolourbarinit();            // 8
void tolpixcolourbarhide();            // 9
// 10: not mirrored. The picture (and the overlay area with it) is shown moved at
// once; the zoom window is hidden.
void tolpixsetpan(const int32_t& ipx, const int32_t& ipy);
void tolpixdelay(const int32_t& microseconds);  // 11
void tolpixdrawbox(const int32_t& ix1, const int32_t& iy1, const int32_t& ix2,
                   const int32_t& iy2);                                            // 12
void tolpixdrawcircle(const int32_t& ix, const int32_t& iy, const int32_t& irad);  // 13
void tolpixdrawelipse(const int32_t& ix, const int32_t& iy, const int32_t& ia, const int32_t& ib,
                      const float& angle);  // 14
void tolpixdrawlines(const int32_t* ix1, const int32_t* iy1, const int32_t* ix2, const int32_t* iy2,
                     const int32_t& n);                      // 15
void tolpixdrawpoint(const int32_t& ix, const int32_t& iy);  // 16
// 17: raster holds nx * ny colour indices, rows from the top, one per pixel.
// IERR 1 refused (server memory, or larger than the picture buffer), 2 read-back
// mismatch, 3 raster entirely zero.
void tolpixdrawimage(const int32_t& nx, const int32_t& ny, const int32_t& imap,
                     const int32_t* raster, int32_t& ierr);
void tolpixdrawimages(const int32_t& imap);  // 18
void tolpixdrawtext(const int32_t& ix, const int32_t& iy, const char* text,
                    int32_t length);                 // 19
void tolpixinit(int32_t& iwidth, int32_t& iheight);  // 20
// 21: prompt holds nlines lines of prompt_length characters; reply (reply_length
// characters) is the editable default and receives the typed answer.
void tolpixioboxdisplay(const char* prompt, int32_t prompt_length, char* reply,
                        int32_t reply_length, const int32_t& nlines);
// 22: lines holds nlines lines of line_length characters.
void tolpixlabeldisplay(const char* lines, int32_t line_length, const int32_t& nlines);
void tolpixlabelhide();    // 23
void tolpixmenudisplay();  // 24
void tolpixmenuevent();    // 25
void tolpixmenuhide();     // 26
// 27: items holds nitems items of item_length characters; each item is cut after
// its last non-blank character by a NUL written into it, and the menu shows the
// caller's items for as long as the menu exists.
void tolpixmenuinit(char* items, int32_t item_length, const int32_t& nitems);
void tolpixoverlayhide();  // 28
// 29: IERR is set to 1 on failure and otherwise left untouched. The overlay stays
// centred on image position (IX, IY): it moves with the picture when it is panned
// (see tolpixoverlayposition for turning pointer readings into raster positions).
void tolpixoverlayinit(const int32_t& ix, const int32_t& iy, const int32_t& nx, const int32_t& ny,
                       const int32_t* raster, int32_t& ierr);
void tolpixpointertrackon(const int32_t& isx, const int32_t& isy);  // 30
void tolpixpointertrackoff();                                       // 31
void tolpixpostscriptdump(const int32_t& iunit, const int32_t& icolour, const int32_t& ix1,
                          const int32_t& ix2, const int32_t& iy1, const int32_t& iy2, float& width,
                          const int32_t& iarea, int32_t& ierr);                 // 32
void tolpixreadmenupointer(int32_t& ix, int32_t& iy);                           // 33
void tolpixreadpointer(int32_t& ix, int32_t& iy);                               // 34
void tolpixrubberenable(const int32_t& itype);                                  // 35
void tolpixrubberread(int32_t& ix1, int32_t& iy1, int32_t& ix2, int32_t& iy2);  // 36
void tolpixrubberremoveline(const int32_t& ix1, const int32_t& iy1, const int32_t& ix2,
                            const int32_t& iy2);  // 37
// 38: red, green and blue hold 256 components 0-65535 each.
void tolpixsetcolourtable(const int32_t& istart, const int32_t& iend, const int32_t* red,
                          const int32_t* green, const int32_t* blue);
[[noreturn]] void tolpixquit();  // 39
void tolpixremovebox(const int32_t& ix1, const int32_t& iy1, const int32_t& ix2,
                     const int32_t& iy2);                                            // 40
void tolpixremovecircle(const int32_t& ix, const int32_t& iy, const int32_t& irad);  // 41
// 42: n = 0 removes the most recent segment and returns it in the first elements.
void tolpixremovelines(int32_t* ix1, int32_t* iy1, int32_t* ix2, int32_t* iy2, int32_t& n);
void tolpixremovepoint(const int32_t& ix, const int32_t& iy);  // 43
void tolpixremovetext(const int32_t& ix, const int32_t& iy, const char* text,
                      int32_t length);                                                 // 44
void tolpixremovevectors();                                                            // 45
void tolpixsetdash();                                                                  // 46
void tolpixsetsolid();                                                                 // 47
void tolpixsliderhide();                                                               // 48
void tolpixsliderinit(const int32_t& nsliders, const float& pos1, const float& pos2);  // 49
void tolpixsliderread(float& value);                                                   // 50
void tolpixzoomhide();                                                                 // 51
void tolpixzoominit();                                                                 // 52

// ---- Many overlay items at once ----
//
// Each takes N items as parallel arrays (N < 1 does nothing) and behaves as N
// calls of the single operation, but with one server round trip for the whole
// call. Items wholly off the stored picture are not recorded (they could never
// be seen); when a list fills up its message is printed once and the rest of the
// call is dropped. A removal takes every recorded item equal to one given (an
// item drawn twice is one item on the screen). The single operations follow the
// same rules for their one item.

void tolpixdrawpoints(const int32_t* ix, const int32_t* iy, const int32_t& n);  // 53
// 54: circle i centred at (IX(i), IY(i)) with radius IRAD(i).
void tolpixdrawcircles(const int32_t* ix, const int32_t* iy, const int32_t* irad, const int32_t& n);
// 55: box i with corners (IX1(i), IY1(i)) and (IX2(i), IY2(i)) in any order.
void tolpixdrawboxes(const int32_t* ix1, const int32_t* iy1, const int32_t* ix2, const int32_t* iy2,
                     const int32_t& n);
void tolpixremovepoints(const int32_t* ix, const int32_t* iy, const int32_t& n);  // 56
void tolpixremovecircles(const int32_t* ix, const int32_t* iy, const int32_t* irad,
                         const int32_t& n);  // 57
void tolpixremoveboxes(const int32_t* ix1, const int32_t* iy1, const int32_t* ix2,
                       const int32_t* iy2, const int32_t& n);  // 58

// 59: the overlay-raster position under image position (IX, IY), such as a
// reading of tolpixreadmenupointer after a mark over the overlay area (y mirrored
// like every y of this interface). JX is the raster column, JY the raster row
// counted from the first row given to tolpixoverlayinit (never mirrored), wherever
// the overlay now lies after pans. INSIDE is 1 when the position lies on the
// raster, 0 when it lies off it (JX, JY then still count from the raster's corner)
// or no overlay is shown (JX = JY = -1).
void tolpixoverlayposition(const int32_t& ix, const int32_t& iy, int32_t& jx, int32_t& jy,
                           int32_t& inside);

// ---- Timer ----

// 60: from now on job code kJobTimer is posted every `microseconds` (0: as often as the
// user's actions leave room for), until the next call; a negative value stops it. The
// user's actions always come first: a tick never replaces a job code not yet read (it is
// dropped), and a tick not yet read is dropped when the timer is stopped or started again.
// The entry box and the pointer read pass ticks over.
void tolpixtimer(const int32_t& microseconds);

// ---- Wait and callback ----

void tolpixwait(int32_t& job);              // handles one event; job = locjob, locjob = -1
void tolpixcallback(const int32_t& value);  // locjob = value
void tolpixerror(int32_t& job);             // job = locjob, locjob = -1, no event handled
