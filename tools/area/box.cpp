#include "tools/area/box.h"

BoxRecord box;
