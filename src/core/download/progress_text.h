#pragma once
// Texts and bar position of the download progress dialog.
#include <string>

namespace Module1 {
// Seconds as hours:minutes:seconds ("0:00:45", "25:00:00").
std::string FormatTime(double seconds);
}  // namespace Module1

namespace download {
// A rate in bytes per second as kilobytes per second: 2048 -> "2.00 Kbps".
// decimal is the system's decimal separator.
std::string FormatRate(long bytes_per_second, char decimal = '.');
// The moving end of the progress bar, in twips: 42 per percent from 120,
// never past 4320.
int BarEndTwips(int percent);
}  // namespace download
