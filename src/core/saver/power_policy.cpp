#include "saver/power_policy.h"

DrawLimits ChooseDrawLimits(const PowerState& state) {
  if (state.on_battery || state.battery_saver || state.remote_session) {
    return DrawLimits{kSavingMaxFps, kSavingRenderScale};
  }
  return DrawLimits{};
}
