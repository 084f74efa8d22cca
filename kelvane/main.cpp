// kelvane: the command-line editor of the project parameter file DATAFILE.dat.
#include "kelvane/kelvane.h"

int main(int argc, char** argv) {
  return kelvane_main(argc, argv);
}
