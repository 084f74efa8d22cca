// Window discovery, pixel read-back and screenshots.
#include <X11/Xutil.h>

#include <map>
#include <sstream>
#include <stdexcept>

#include "tests/support/x11_harness.h"

namespace x11test {
namespace {

int g_error_count = 0;

int record_error(Display*, XErrorEvent*) {
  ++g_error_count;
  return 0;
}

// While alive, X errors are counted instead of ending the process (Xlib's default handler
// exits). Discovery needs this: a window may vanish between XQueryTree and the next request.
// The handler is process-wide, so errors of other connections in this process are swallowed
// too while a trap is alive; traps only live during harness calls.
class ErrorTrap {
 public:
  explicit ErrorTrap(Display* dpy) : dpy_(dpy) {
    XSync(dpy_, False);
    previous_ = XSetErrorHandler(record_error);
    start_ = g_error_count;
  }
  ~ErrorTrap() {
    XSync(dpy_, False);
    XSetErrorHandler(previous_);
  }
  int errors() {
    XSync(dpy_, False);
    return g_error_count - start_;
  }

 private:
  Display* dpy_;
  int (*previous_)(Display*, XErrorEvent*) = nullptr;
  int start_ = 0;
};

std::vector<Window> children(Display* dpy, Window w, Window* parent = nullptr) {
  Window root = 0, par = 0, *kids = nullptr;
  unsigned n = 0;
  std::vector<Window> out;
  if (XQueryTree(dpy, w, &root, &par, &kids, &n)) {
    out.assign(kids, kids + n);
    if (parent) *parent = par;
  }
  if (kids) XFree(kids);
  return out;
}

bool has_class(Display* dpy, Window w, const std::string& wm_class, bool* has_any) {
  XClassHint hint{};
  if (!XGetClassHint(dpy, w, &hint)) return *has_any = false;
  *has_any = true;
  bool match = hint.res_class && wm_class == hint.res_class;
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return match;
}

bool viewable(Display* dpy, Window w) {
  XWindowAttributes a;
  return XGetWindowAttributes(dpy, w, &a) && a.map_state == IsViewable;
}

// Topmost first, so the window the user sees wins. Windows that carry a WM_CLASS of their own
// are top-levels of some client and are not searched further; the others may be window
// manager frames around the shell, so the search goes a few levels into them.
Window search(Display* dpy, Window w, const std::string& wm_class, int depth) {
  std::vector<Window> kids = children(dpy, w);
  for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
    bool has_any = false;
    if (has_class(dpy, *it, wm_class, &has_any)) {
      if (viewable(dpy, *it)) return *it;
    } else if (!has_any && depth < 3) {
      if (Window found = search(dpy, *it, wm_class, depth + 1)) return found;
    }
  }
  return 0;
}

void walk(Display* dpy, const WindowInfo& parent, std::vector<WindowInfo>& out) {
  for (Window kid : children(dpy, parent.id)) {
    XWindowAttributes a;
    if (!XGetWindowAttributes(dpy, kid, &a)) continue;  // gone meanwhile
    WindowInfo info;
    info.id = kid;
    info.parent = parent.id;
    info.border = a.border_width;
    // a.x, a.y locate the outer corner (border included) in the parent's inside coordinates.
    info.x = parent.x + a.x + a.border_width;
    info.y = parent.y + a.y + a.border_width;
    info.width = a.width;
    info.height = a.height;
    info.mapped = a.map_state == IsViewable;
    info.depth = a.depth;
    info.colormap = a.colormap;
    info.level = parent.level + 1;
    out.push_back(info);
    walk(dpy, info, out);
  }
}

}  // namespace

Window find_toplevel(Display* dpy, const std::string& wm_class, double timeout) {
  double deadline = now_seconds() + timeout;
  for (;;) {
    Window found;
    {
      ErrorTrap trap(dpy);
      found = search(dpy, DefaultRootWindow(dpy), wm_class, 0);
    }
    if (found || now_seconds() >= deadline) return found;
    sleep_seconds(0.05);
  }
}

WindowInfo window_info(Display* dpy, Window w) {
  ErrorTrap trap(dpy);
  WindowInfo info;
  XWindowAttributes a;
  Window parent = 0, child = 0;
  int x = 0, y = 0;
  if (!XGetWindowAttributes(dpy, w, &a)) return info;
  children(dpy, w, &parent);
  if (!XTranslateCoordinates(dpy, w, a.root, 0, 0, &x, &y, &child)) return info;
  if (trap.errors()) return info;
  info.id = w;
  info.parent = parent;
  info.x = x;
  info.y = y;
  info.width = a.width;
  info.height = a.height;
  info.border = a.border_width;
  info.mapped = a.map_state == IsViewable;
  info.depth = a.depth;
  info.colormap = a.colormap;
  return info;
}

std::vector<WindowInfo> window_tree(Display* dpy, Window top) {
  std::vector<WindowInfo> out;
  WindowInfo info = window_info(dpy, top);
  if (!info.id) return out;
  out.push_back(info);
  ErrorTrap trap(dpy);
  walk(dpy, info, out);
  return out;
}

std::pair<bool, std::vector<WindowInfo>> wait_for_tree(
    Display* dpy, Window top, const std::function<bool(const std::vector<WindowInfo>&)>& pred,
    double timeout) {
  double deadline = now_seconds() + timeout;
  for (;;) {
    std::vector<WindowInfo> tree = window_tree(dpy, top);
    if (pred(tree)) return {true, tree};
    if (now_seconds() >= deadline) return {false, tree};
    sleep_seconds(0.05);
  }
}

std::vector<uint8_t> read_pixels(Display* dpy, Window w, int x, int y, int width, int height) {
  XImage* img = nullptr;
  {
    ErrorTrap trap(dpy);
    img = XGetImage(dpy, w, x, y, width, height, AllPlanes, ZPixmap);
    if (img && trap.errors()) {
      XDestroyImage(img);
      img = nullptr;
    }
  }
  if (!img) {
    std::ostringstream msg;
    msg << "read_pixels: XGetImage failed for window 0x" << std::hex << w << std::dec << " at " << x
        << "," << y << " size " << width << "x" << height
        << " (window unmapped, gone, or rectangle outside it?)";
    throw std::runtime_error(msg.str());
  }
  std::vector<uint8_t> out(static_cast<size_t>(width) * height);
  for (int row = 0; row < height; ++row) {
    uint8_t* dst = out.data() + static_cast<size_t>(row) * width;
    if (img->bits_per_pixel == 8) {
      const char* src = img->data + static_cast<size_t>(row) * img->bytes_per_line;
      std::copy(src, src + width, dst);
    } else {
      for (int col = 0; col < width; ++col) dst[col] = XGetPixel(img, col, row) & 0xff;
    }
  }
  XDestroyImage(img);
  return out;
}

std::vector<Rgb16> query_colours(Display* dpy, Colormap cmap,
                                 const std::vector<unsigned long>& cells) {
  std::vector<XColor> colours(cells.size());
  for (size_t i = 0; i < cells.size(); ++i) colours[i].pixel = cells[i];
  std::vector<Rgb16> out;
  if (cells.empty()) return out;
  {
    ErrorTrap trap(dpy);
    XQueryColors(dpy, cmap, colours.data(), static_cast<int>(colours.size()));
    if (trap.errors()) throw std::runtime_error("query_colours: XQueryColors failed");
  }
  for (const XColor& c : colours) out.push_back({c.red, c.green, c.blue});
  return out;
}

bool screenshot(Display* dpy, const std::string& path, const std::string& wm_class) {
  int screen = DefaultScreen(dpy);
  Window root = RootWindow(dpy, screen);
  int width = DisplayWidth(dpy, screen), height = DisplayHeight(dpy, screen);
  Colormap cmap = DefaultColormap(dpy, screen);
  Visual* visual = DefaultVisual(dpy, screen);
  if (Window top = find_toplevel(dpy, wm_class, 0)) {
    ErrorTrap trap(dpy);
    XWindowAttributes a;
    if (XGetWindowAttributes(dpy, top, &a) && a.colormap != None) {
      cmap = a.colormap;
      visual = a.visual;
    }
  }
  XImage* img = nullptr;
  {
    ErrorTrap trap(dpy);
    img = XGetImage(dpy, root, 0, 0, width, height, AllPlanes, ZPixmap);
    if (img && trap.errors()) {
      XDestroyImage(img);
      img = nullptr;
    }
  }
  if (!img) return false;
  std::vector<uint8_t> rgb(3u * width * height);
  if (visual->c_class == TrueColor) {
    // Pixel values hold the components directly.
    auto component = [](unsigned long pixel, unsigned long mask) -> uint8_t {
      if (!mask) return 0;
      int shift = 0;
      while (!((mask >> shift) & 1)) ++shift;
      unsigned long max = mask >> shift;
      return static_cast<uint8_t>(((pixel & mask) >> shift) * 255 / max);
    };
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        unsigned long p = XGetPixel(img, x, y);
        uint8_t* dst = &rgb[3u * (static_cast<size_t>(y) * width + x)];
        dst[0] = component(p, visual->red_mask);
        dst[1] = component(p, visual->green_mask);
        dst[2] = component(p, visual->blue_mask);
      }
  } else {
    // Look up each distinct cell once.
    std::map<unsigned long, Rgb16> table;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) table[XGetPixel(img, x, y)] = {};
    std::vector<unsigned long> cells;
    for (auto& entry : table) cells.push_back(entry.first);
    std::vector<Rgb16> colours;
    try {
      colours = query_colours(dpy, cmap, cells);
    } catch (const std::runtime_error&) {
      XDestroyImage(img);
      return false;
    }
    for (size_t i = 0; i < cells.size(); ++i) table[cells[i]] = colours[i];
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) {
        const Rgb16& c = table[XGetPixel(img, x, y)];
        uint8_t* dst = &rgb[3u * (static_cast<size_t>(y) * width + x)];
        dst[0] = c.r >> 8;
        dst[1] = c.g >> 8;
        dst[2] = c.b >> 8;
      }
  }
  XDestroyImage(img);
  return write_png(path, width, height, rgb);
}

}  // namespace x11test
