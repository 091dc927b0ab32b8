#pragma once
// The hack's picture: the compositor's layers set up as the Windows saver
// shows them once loading is over: the background picture over the whole
// window, the visualisation fitted in its frame, the title over everything.
// This is the only place that knows the compositor's interface; the layers
// and their settings are the Windows saver window's own.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "movie/compositor.h"
#include "saver/frm_app_layers.h"
#include "saver/power_policy.h"
#include "saver_options.h"

class Scene {
 public:
  using Warn = std::function<void(const std::string&)>;
  // Loads the chosen visualisation (the default one, after one warning, when
  // it cannot be played) and the title; both start playing. `background`
  // holds width * height 0xAARRGGBB pixels, or is empty for black.
  Scene(const std::string& data_folder, const std::string& visualisation, const std::vector<uint32_t>& background,
        int background_w, int background_h, const Warn& warn);

  // Lays the layers out for a window of this size.
  bool Resize(int width, int height);
  // The resolution chosen on the command line (-quality).
  void SetQuality(QualityChoice quality);
  // How hard every layer may work, as the core's power rule decides
  // (ChooseDrawLimits): frame rate and resolution caps inside the players.
  void ApplyDrawLimits(const DrawLimits& limits);

  bool Tick(double now_ms) { return compositor_.Tick(now_ms); }
  const uint32_t* Render() { return compositor_.Render(); }
  PixelRect PendingRect() const { return compositor_.PendingRect(); }
  double NextDueMs(double now_ms) const { return compositor_.NextDueMs(now_ms); }
  void InvalidateAll() { compositor_.InvalidateAll(); }
  int Width() const { return compositor_.Width(); }
  int Height() const { return compositor_.Height(); }

  const MoviePlayer& Visualisation() const { return layers_.Movie; }
  const Compositor& Layers() const { return compositor_; }

 private:
  Compositor compositor_;
  FrmAppLayers layers_;  // the Windows saver's layers, with their design settings
};
