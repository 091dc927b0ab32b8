#include "download/progress_text.h"

#include <cmath>
#include <cstdio>

#include "download/download_logic.h"

namespace Module1 {

std::string FormatTime(double s) {
  if (!(s >= 0)) s = 0;
  const double m0 = std::floor(s / 60);
  const double h = std::floor(m0 / 60);
  const double m = m0 - 60 * h;
  double r = download::RoundHalfEven(s - 60 * m0);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.0f:%02.0f:%02.0f", h, m, r);
  return buf;
}

}  // namespace Module1

namespace download {

std::string FormatRate(long bytes_per_second, char decimal) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.2f Kbps", static_cast<double>(bytes_per_second) / 1024.0);
  std::string out = buf;
  const size_t dot = out.find('.');
  if (dot != std::string::npos) out[dot] = decimal;
  return out;
}

int BarEndTwips(int percent) {
  const long x = static_cast<long>(percent) * 42 + 120;
  return x > 4320 ? 4320 : static_cast<int>(x);
}

}  // namespace download
