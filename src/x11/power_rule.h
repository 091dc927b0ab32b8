#pragma once
// The economy rule: on battery power, or on a display reached over the
// network, the hack draws at most 15 frames a second and renders the movies
// at half resolution; on mains power it follows the movies' own frame rate
// and the quality chosen on the command line.
#include <string>

#include "movie/movie_player.h"
#include "saver_options.h"

// Reads the power supplies the kernel lists under root (normally
// /sys/class/power_supply): true when the machine runs on its battery.
// Supplies of peripherals (a mouse's battery, scope "Device") do not count.
// With a charger listed, the machine is on battery when none is online and a
// system battery exists; with none listed, when a system battery says
// "Discharging". A machine without batteries (or without the folder) is on
// mains.
bool OnBatteryPower(const std::string& root);

struct DrawBudget {
  double max_fps = 0;      // 0: no cap beyond the movies' own rate
  RenderQuality movie_quality = RenderQuality::AutoLow;
  RenderQuality title_quality = RenderQuality::AutoHigh;
};

// What to draw with, for the chosen quality, given whether the economy rule
// holds (battery or a remote display).
DrawBudget BudgetFor(QualityChoice quality, bool economy);

// Interval between two reads of the power state, in milliseconds.
constexpr double kPowerCheckMs = 5000;
