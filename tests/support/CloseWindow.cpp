// vantrel-close-window: asks an X window to close the way a window manager's
// close button does, with a WM_DELETE_WINDOW message, so the program that
// owns the window receives a close request instead of losing the window.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char kUsage[] =
    "usage: vantrel-close-window WINDOW\n"
    "Sends WM_DELETE_WINDOW to the X window WINDOW (decimal or 0x hex id),\n"
    "as a window manager does when the user closes it. Uses $DISPLAY.\n"
    "Exit status: 0 sent, 1 failed, 2 bad usage.\n";

bool gBadWindow = false;

int RecordError(Display*, XErrorEvent* e) {
  if (e->error_code == BadWindow) gBadWindow = true;
  return 0;
}

bool ParseWindow(const char* text, Window& out) {
  errno = 0;
  char* end = nullptr;
  unsigned long id = std::strtoul(text, &end, 0);
  if (errno != 0 || end == text || *end != '\0' || id == 0) return false;
  out = (Window)id;
  return true;
}

bool AcceptsDelete(Display* display, Window window, Atom deleteAtom) {
  Atom* protocols = nullptr;
  int count = 0;
  if (!XGetWMProtocols(display, window, &protocols, &count)) return false;
  bool found = false;
  for (int i = 0; i < count; ++i) found = found || protocols[i] == deleteAtom;
  XFree(protocols);
  return found;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  Window window = 0;
  if (argc != 2 || !ParseWindow(argv[1], window)) {
    std::fputs(kUsage, stderr);
    return 2;
  }

  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    const char* name = XDisplayName(nullptr);
    if (!name || !*name)
      std::fputs("vantrel-close-window: cannot open a display: DISPLAY is not set\n", stderr);
    else
      std::fprintf(stderr, "vantrel-close-window: cannot open display '%s'\n", name);
    return 1;
  }
  XSetErrorHandler(RecordError);

  Atom protocolsAtom = XInternAtom(display, "WM_PROTOCOLS", False);
  Atom deleteAtom = XInternAtom(display, "WM_DELETE_WINDOW", False);
  bool accepts = AcceptsDelete(display, window, deleteAtom);
  XSync(display, False);
  if (gBadWindow) {
    std::fprintf(stderr, "vantrel-close-window: no window 0x%lx\n", (unsigned long)window);
    XCloseDisplay(display);
    return 1;
  }
  if (!accepts) {
    std::fprintf(stderr, "vantrel-close-window: window 0x%lx does not take WM_DELETE_WINDOW\n",
                 (unsigned long)window);
    XCloseDisplay(display);
    return 1;
  }

  XEvent event;
  std::memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = protocolsAtom;
  event.xclient.format = 32;
  event.xclient.data.l[0] = (long)deleteAtom;
  event.xclient.data.l[1] = CurrentTime;
  Status sent = XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
  XCloseDisplay(display);
  if (!sent || gBadWindow) {
    std::fprintf(stderr, "vantrel-close-window: could not send to window 0x%lx\n", (unsigned long)window);
    return 1;
  }
  return 0;
}
