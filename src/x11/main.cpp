// qrvsaver: the visualisations as an XScreenSaver hack. It draws into the
// window XScreenSaver gives it (or a window of its own for trying out) until
// it is told to stop with SIGTERM or SIGINT; input never ends it.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stb/stb_image.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "fluid_music.h"
#include "music/music_player.h"
#include "power_supply.h"
#include "saver/frame_intervals.h"
#include "saver_options.h"
#include "scene.h"
#include "virtual_root.h"
#include "x_surface.h"

#ifndef QRV_DATA_DIR
#define QRV_DATA_DIR "/usr/share/qrvsaver"
#endif

extern const unsigned char kBackgroundPng[];
extern const size_t kBackgroundPngSize;

namespace {

int g_signal_pipe[2] = {-1, -1};
volatile sig_atomic_t g_stop = 0;
Window g_target = 0;
bool g_target_gone = false;

void OnSignal(int) {
  g_stop = 1;
  const char b = 1;
  ssize_t ignored = write(g_signal_pipe[1], &b, 1);
  (void)ignored;
}

int OnXError(Display*, XErrorEvent* e) {
  // The window we draw into was destroyed under us: nothing left to draw on.
  if ((e->error_code == BadWindow || e->error_code == BadDrawable) && e->resourceid == g_target) g_target_gone = true;
  return 0;
}

FluidMusic* g_music = nullptr;
int OnXIOError(Display*) {
  // The display went away: close the audio and leave.
  if (g_music) g_music->Stop();
  _exit(1);
}

double NowMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1e6;
}

void Warn(const std::string& line) { std::fprintf(stderr, "qrvsaver: %s\n", line.c_str()); }

// Where the kernel lists the power supplies; QRVSAVER_POWER_SUPPLY names
// another folder of the same layout (the measurements use it).
std::string PowerSupplyFolder() {
  const char* env = std::getenv("QRVSAVER_POWER_SUPPLY");
  return env && *env ? env : "/sys/class/power_supply";
}

std::string DataFolder() {
  const char* env = std::getenv("QRVSAVER_DATA");
  return env && *env ? env : QRV_DATA_DIR;
}

// The General MIDI sound font; QRVSAVER_SOUND_FONT names another one.
std::string SoundFont() {
  const char* env = std::getenv("QRVSAVER_SOUND_FONT");
  return env && *env ? env : kDefaultSoundFont;
}

// The built-in 800 by 600 background as 0xAARRGGBB words.
std::vector<uint32_t> BuiltinBackground(int* w, int* h) {
  int n = 0;
  stbi_uc* rgba = stbi_load_from_memory(kBackgroundPng, static_cast<int>(kBackgroundPngSize), w, h, &n, 4);
  std::vector<uint32_t> out;
  if (!rgba) return out;
  out.resize(static_cast<size_t>(*w) * static_cast<size_t>(*h));
  for (size_t i = 0; i < out.size(); ++i) {
    const stbi_uc* p = rgba + i * 4;
    out[i] = 0xFF000000u | (uint32_t{p[0]} << 16) | (uint32_t{p[1]} << 8) | p[2];
  }
  stbi_image_free(rgba);
  return out;
}

struct FpsMeter {
  int frames = 0;
  double since = 0;
  double value = 0;
  void Count(double now) {
    if (since == 0) since = now;
    ++frames;
    if (now - since >= 1000) {
      value = frames * 1000.0 / (now - since);
      frames = 0;
      since = now;
    }
  }
};

}  // namespace

int main(int argc, char** argv) {
  const ParseResult parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parsed.ok) {
    Warn(parsed.error);
    std::fputs(UsageText().c_str(), stderr);
    return 1;
  }
  const SaverOptions& opt = parsed.options;
  if (opt.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }

  if (pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);

  Display* dpy = XOpenDisplay(opt.display.empty() ? nullptr : opt.display.c_str());
  if (!dpy) {
    Warn("cannot open display " + std::string(opt.display.empty() ? (getenv("DISPLAY") ? getenv("DISPLAY") : "") : opt.display));
    return 1;
  }
  XSetErrorHandler(OnXError);
  XSetIOErrorHandler(OnXIOError);

  const Target target = ChooseTarget(opt, std::getenv("XSCREENSAVER_WINDOW"));
  Window win = 0;
  bool own = false;
  Atom wm_delete = XInternAtom(dpy, "WM_DELETE_WINDOW", False);
  if (target.kind == TargetKind::OwnWindow) {
    const int screen = DefaultScreen(dpy);
    win = XCreateSimpleWindow(dpy, RootWindow(dpy, screen), 0, 0, 800, 600, 0, BlackPixel(dpy, screen),
                              BlackPixel(dpy, screen));
    XStoreName(dpy, win, "qrvsaver");
    XSetWMProtocols(dpy, win, &wm_delete, 1);
    own = true;
  } else {
    win = target.kind == TargetKind::Root ? VirtualRootWindow(dpy, DefaultScreen(dpy)) : target.window;
  }
  g_target = win;
  XWindowAttributes wa{};
  if (!XGetWindowAttributes(dpy, win, &wa)) {
    Warn("no such window: " + std::to_string(win));
    XCloseDisplay(dpy);
    return 1;
  }
  // Window changes and exposure only: keys and buttons stay XScreenSaver's.
  XSelectInput(dpy, win, StructureNotifyMask | ExposureMask);
  if (own) XMapRaised(dpy, win);

  int bw = 0, bh = 0;
  std::vector<uint32_t> background;
  if (opt.background == BackgroundChoice::BuiltinPicture) background = BuiltinBackground(&bw, &bh);
  const std::string data = DataFolder();
  Scene scene(data, opt.visualisation, background, bw, bh, Warn);
  auto surface_owner = std::make_unique<XSurface>(dpy, win, wa.visual, wa.depth);
  XSurface& surface = *surface_owner;
  int width = wa.width, height = wa.height;
  scene.Resize(width, height);
  surface.Resize(width, height);

  FluidMusic music;
  g_music = &music;
  if (opt.music) {
    int song = opt.song;
    if (song == 0) song = std::uniform_int_distribution<int>(1, 9)(*std::make_unique<std::random_device>());
    music.Start(data + "/MCI/" + Module1::SongTitle(static_cast<int16_t>(song)) + ".seq", SoundFont());
  }

  // The same power rule as on Windows: the core chooses the limits, the
  // players apply them (frame rate and resolution caps).
  const std::string power_folder = PowerSupplyFolder();
  scene.SetQuality(opt.quality);
  DrawLimits limits = ChooseDrawLimits(ReadPowerState(power_folder, surface.UsesShm()));
  scene.ApplyDrawLimits(limits);
  double next_power_check = NowMs() + kPowerCheckMs;
  bool repaint_all = true;
  FpsMeter fps;
  // Measurement switch: with QRV_FRAME_STATS naming a file, the intervals
  // between presented frames are summarised there when the hack ends.
  const char* frame_stats_path = std::getenv("QRV_FRAME_STATS");
  FrameIntervals frame_intervals;
  GC text_gc = XCreateGC(dpy, win, 0, nullptr);
  XSetForeground(dpy, text_gc, WhitePixel(dpy, DefaultScreen(dpy)));
  XSetBackground(dpy, text_gc, BlackPixel(dpy, DefaultScreen(dpy)));
  const int xfd = ConnectionNumber(dpy);

  while (!g_stop && !g_target_gone) {
    while (XPending(dpy)) {
      XEvent ev;
      XNextEvent(dpy, &ev);
      if (ev.type == Expose) {
        repaint_all = true;
      } else if (ev.type == ConfigureNotify && ev.xconfigure.window == win) {
        if (ev.xconfigure.width != width || ev.xconfigure.height != height) {
          width = ev.xconfigure.width;
          height = ev.xconfigure.height;
          scene.Resize(width, height);
          surface.Resize(width, height);
          repaint_all = true;
        }
      } else if (ev.type == DestroyNotify && ev.xdestroywindow.window == win) {
        g_target_gone = true;
      } else if (own && ev.type == ClientMessage && static_cast<Atom>(ev.xclient.data.l[0]) == wm_delete) {
        g_stop = 1;  // the window manager closed our own window
      }
    }
    if (g_stop || g_target_gone) break;

    double now = NowMs();
    if (now >= next_power_check) {
      const DrawLimits l = ChooseDrawLimits(ReadPowerState(power_folder, surface.UsesShm()));
      if (!(l == limits)) {
        limits = l;
        scene.ApplyDrawLimits(limits);
      }
      next_power_check = now + kPowerCheckMs;
    }
    if (repaint_all) scene.InvalidateAll();
    if (scene.Tick(now)) {
      const PixelRect r = scene.PendingRect();
      const uint32_t* pixels = scene.Render();
      if (pixels) surface.Present(pixels, r.x, r.y, r.w, r.h);
      fps.Count(now);
      if (frame_stats_path) frame_intervals.Add(now);
      if (opt.fps) {
        char text[32];
        std::snprintf(text, sizeof text, " %.1f fps ", fps.value);
        XDrawImageString(dpy, win, text_gc, 8, height - 8, text, static_cast<int>(std::strlen(text)));
        XFlush(dpy);
      }
      repaint_all = false;
    }
    now = NowMs();
    const double due = std::min(scene.NextDueMs(now), next_power_check);
    const double wait = due - now;
    const int timeout = wait <= 0 ? 0 : static_cast<int>(std::min(std::ceil(wait), 1000.0));
    pollfd fds[2] = {{xfd, POLLIN, 0}, {g_signal_pipe[0], POLLIN, 0}};
    poll(fds, 2, timeout);
  }

  // Leave the window as we found it: our requests, our picture memory and the
  // audio go; a window of our own goes with them.
  music.Stop();
  g_music = nullptr;
  if (frame_stats_path && *frame_stats_path) {
    if (FILE* f = std::fopen(frame_stats_path, "w")) {
      std::fprintf(f, "%s\n", frame_intervals.Summary().c_str());
      std::fclose(f);
    }
  }
  XFreeGC(dpy, text_gc);
  if (!g_target_gone) XSelectInput(dpy, win, NoEventMask);
  surface_owner.reset();  // detaches and frees the shared memory
  if (own) XDestroyWindow(dpy, win);
  XCloseDisplay(dpy);
  return 0;
}
