#pragma once
// How hard the screensaver may work: on battery power, with the system's
// battery saver on, or in a session shown on another machine, it draws at
// most 15 frames a second at a lower render resolution; on mains power in a
// local session, at the movies' own rate and resolution.

struct PowerState {
  bool on_battery = false;      // running from the battery, not mains power
  bool battery_saver = false;   // the system's battery saver is on
  bool remote_session = false;  // the session is shown on another machine
};

struct DrawLimits {
  double max_fps = 0;           // 0: each movie's own frame rate
  double max_render_scale = 1;  // 1: as each layer's quality says
  bool operator==(const DrawLimits& o) const {
    return max_fps == o.max_fps && max_render_scale == o.max_render_scale;
  }
};

constexpr double kSavingMaxFps = 15;
constexpr double kSavingRenderScale = 0.25;

DrawLimits ChooseDrawLimits(const PowerState& state);
