// The start-up answers: replayed from standard input ("-s") or an answer file ("-f"),
// and recorded into "Tolsvik.tmp" beside the answer file, which replaces the answer file
// (through its symbolic links) when start-up ends. An answer file that was not read as
// one (a map given by mistake), is write-protected or is no regular file is kept, and a
// line on the terminal says where the answers were saved instead.
#pragma once

#include <string>
#include <string_view>

// Opens the answer file for replay (when it exists) and "Tolsvik.tmp" for recording
// ("-f"), or standard input for silent replay ("-s"); sets gen.defaults_unit and
// gen.record_answers.
void answers_from_file(std::string_view answer_file);
void answers_from_stdin();

// Reads the next record of the defaults unit as one line (cut to 256 characters).
// Returns false when the unit has ended or cannot be read.
bool replay_line(std::string& line);
// Reads the next record as n integers or reals (free format). False when the record
// is missing or cannot be read as such values.
bool replay_integers(int n, int* out);
// Under "-s": when the next record is the mode-and-sections record of an answer file
// recorded with "-f" (two integers, each right-aligned in 12 columns, the first a map
// mode 0 to 4), reads it into out[0..1] and returns true; any other record is left for
// the next question.
bool replay_mode_record(int* out);
bool replay_reals(int n, float* out);
struct Answer;
// In a replay, reads the next record as a typed answer and returns true; false when
// the answers are not replayed or have ended (the question is then asked).
bool replay_answer(Answer& reply);
// When a replay record cannot be read: the rest of start-up is asked interactively
// (gen.defaults_unit = 0) and `message` is added to the message lines.
void replay_failed();

// Writes one record when answers are being recorded (gen.record_answers = 1).
void record_line(std::string_view text);

// End of start-up: closes the recording and moves it over the answer file (when that may
// be replaced), closes the defaults unit and ends both mechanisms.
void answers_finish();
// The same for a fresh run: whatever is open is closed.
void answers_reset();
