// The list-directed reader on any text: integers, reals and doubles, one to six values.
// It never reports more fields than were asked for.
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_support.h"
#include "textio/listread.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const int n = 1 + data[0] % 6;
  const std::string_view text = fuzz::bytes(data + 1, size - 1);
  int ints[6] = {};
  float reals[6] = {};
  double doubles[6] = {};
  const ListResult results[] = {list_read_ints(text, n, ints), list_read_reals(text, n, reals),
                                list_read_doubles(text, n, doubles)};
  for (const ListResult& r : results)
    if (r.fields < 0 || r.fields > n) std::abort();
  return 0;
}
