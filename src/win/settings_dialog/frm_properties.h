#pragma once

// Shows the settings dialog modally; returns when it closes.
void ShowFrmProperties();
