#include "tools/transform/spot_files.h"

#include <cstring>

#include "textio/format.h"
#include "textio/listread.h"
#include "textio/textfile.h"

SpotlistRecord spotlist;

void stored_reflection(int& h, int& k) {
  // The reflections (0, k) and (0, -k) are mates too: one entry holds both.
  if (h < 0 || (h == 0 && k < 0)) h = -h, k = -k;
}

int32_t* spot_entry(int h, int k) {
  stored_reflection(h, k);
  if (h > kSpotIndexLimit || k < -kSpotIndexLimit || k > kSpotIndexLimit) return nullptr;
  return &spotlist.value[k + kSpotIndexLimit][h];
}

void clear_spotlist() {
  std::memset(&spotlist, 0, sizeof spotlist);
}

std::string spot_list_line(int h, int k) {
  return fmt_i(h, 6) + "," + fmt_i(k, 6);
}

bool read_spot_list(TextReader& in, const std::function<void(int h, int k, int value)>& take) {
  std::string text;
  while (in.line(text)) {
    if (text.find_first_not_of(" \t\r") == std::string::npos) continue;
    int v[3] = {0, 0, 1};
    const ListResult r = list_read_ints(text, 3, v);
    if (r.error || r.fields < 2) return false;
    take(v[0], v[1], v[2]);
  }
  return !in.failed();
}
