// Rubber-banding with Ctrl and the left button. The actions are bound to the
// main form at initialisation; they act only while a shape is armed.
#include "display/xstate.h"

void action_rubber_read(Widget, XEvent*, String*, Cardinal*) {
  if (ds.rubber_flag == 0) return;
}

void action_rubber_stop(Widget, XEvent*, String*, Cardinal*) {
  if (ds.rubber_flag == 0) return;
}

// Without a shape armed, a quick second click is just another pointer mark:
// the double-click binding must not swallow it.
void action_rubber_finish(Widget, XEvent*, String*, Cardinal*) {
  if (ds.rubber_flag == 0) {
    post_job(0);
    return;
  }
}
