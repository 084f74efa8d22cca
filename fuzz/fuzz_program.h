// What the harnesses that run the program's dialogues share: small maps in the working
// folder for the answers and the start menu to name, and one run of a dialogue against
// the scripted display with the program's state fresh.
#pragma once

#include <functional>

// Writes the maps the seeds name: an image "m.map" (6 x 5), a stack "s.map" (4 x 4 x 3) and
// a transform "t.map" (5 x 8 complex values), and "img.tvk", the image of a project
// named "img".
void write_sample_maps();

// Resets the program and the scripted display (a small screen), runs the dialogue until it
// ends, waits for a user the script does not have, or stops, and removes the recordings
// it left.
void run_dialogue(const std::function<void()>& dialogue);
