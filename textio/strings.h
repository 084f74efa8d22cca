// String utilities of the console helpers, on fixed-length blank-padded texts.
#pragma once

#include <ctime>
#include <span>
#include <string>
#include <string_view>

// Position (from 1) of the last non-blank character; 1 when the text is blank.
int shorten(std::string_view text);
// Rewrites a list of items separated by blanks and/or commas into a comma-separated
// list in place and returns n, one more than the length of the rewritten list.
int inkomma(std::span<char> text);
// Position of the last non-blank character before the first NUL or the end; 0 if none.
int lnblank(std::string_view text);
// Copies the non-blank characters of in to out, blank-fills out up to in's length
// (never past out's end) and returns the number of characters copied.
int rmblank(std::span<char> out, std::string_view in);
// Two upper-case hexadecimal digits of a byte value; a negative value is taken plus 256.
std::string hex_format(int value);
// Decimal text of an integer without leading blanks into text (blank-padded, cut
// to its size); returns the number of characters of the full text.
int intoch(int value, std::span<char> text);
// Current time in seconds and its 24-character calendar text followed by a line
// end (cut to the size of text, blank-padded when text is longer).
std::time_t getdate(std::span<char> text);
int imin(int a, int b);
int imax(int a, int b);
void sleepdelay(int microseconds);

// The text with every byte a terminal would act on written visibly: control characters
// as ^X (^[ for escape, ^? for delete), bytes above 127 as \ooo (octal); a NUL, which
// pads many fixed-width texts, becomes a blank.
std::string visible_text(std::string_view text);

// Copies text into a fixed-length field, blank-padded and cut to the field's size.
void set_field(std::span<char> field, std::string_view text);
// The text of a fixed-length field without trailing blanks (and without anything
// from the first NUL on).
std::string_view field_text(std::span<const char> field);
