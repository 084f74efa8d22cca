// Fixed-width number formatting with Fortran edit-descriptor semantics, used for
// every message line and text file the program writes.
//
// A value that does not fit its field is shown as w asterisks, as Fortran does.
#pragma once

#include <string>

// Iw: integer right-aligned in w characters.
std::string fmt_i(long long value, int w);
// Fw.d: fixed point, d decimals, right-aligned in w characters. The leading
// zero of a magnitude below 1 is dropped only when the field is too narrow for it.
std::string fmt_f(double value, int w, int d);
// Ew.d: exponent form 0.ddddE+xx right-aligned in w characters.
std::string fmt_e(double value, int w, int d);
// Gw.d: fixed form when the magnitude suits d significant digits, else Ew.d.
std::string fmt_g(double value, int w, int d);
