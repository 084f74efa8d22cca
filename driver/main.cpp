// tolsvik: the interactive display program for map files.
#include "driver/startup.h"

int main(int argc, char** argv) {
  return tolsvik_main(argc, argv);
}
