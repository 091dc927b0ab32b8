#pragma once
// What the hack knows of the machine's power, in the core's terms: the core
// decides from it how hard the movies may work (ChooseDrawLimits).
#include <string>

#include "saver/power_policy.h"

// Reads the power supplies the kernel lists under root (normally
// /sys/class/power_supply): true when the machine runs on its battery.
// Supplies of peripherals (a mouse's battery, scope "Device") do not count.
// With a charger listed, the machine is on battery when none is online and a
// system battery exists; with none listed, when a system battery says
// "Discharging". A machine without batteries (or without the folder) is on
// mains.
bool OnBatteryPower(const std::string& root);

// The power state of a hack whose supplies are listed under root and whose
// display does (or does not) share our memory: a display that cannot map our
// shared memory is reached over the network, a remote session.
PowerState ReadPowerState(const std::string& root, bool shared_memory);

// Interval between two reads of the power state, in milliseconds.
constexpr double kPowerCheckMs = 5000;
