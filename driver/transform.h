// Transform display: the stored half of a Fourier transform (a map of complex values
// on stream 1, origin line at row ny/2) shown around the centre of the picture as
// amplitudes or intensities, with its Friedel mirror on the left.
#pragma once

// Displays h = 0 .. shown_width - 1 and k = -t .. t (t = shown_height / 2) with the
// settings of gen, after asking whether amplitudes or intensities are wanted (not in
// the corner mode of CTF fitting, which always shows amplitudes).
void fftread();
