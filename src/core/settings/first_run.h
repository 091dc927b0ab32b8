#pragma once
#include "settings/settings_port.h"

// First-run initialisation, done before any other setting is read: when the
// marker "InsKo" is empty, create the settings key and write the six
// defaults, then the marker last, so an interrupted run starts over next time.
void EnsureSettingsInitialised(SettingsPort& settings);
