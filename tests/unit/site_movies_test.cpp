// The movies offered on the download site pass the player's own check.
#include <gtest/gtest.h>

#include <dirent.h>

#include <fstream>
#include <iterator>
#include <string>

#include "movie/lottie_validator.h"

TEST(SiteMovies, EveryDownloadPassesThePlayersCheck) {
  const std::string dir = std::string(QRV_SOURCE_DIR) + "/site/VelmaraScreensaver/DWN";
  DIR* d = opendir(dir.c_str());
  ASSERT_NE(d, nullptr);
  int n = 0;
  while (dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name.size() < 5 || name.substr(name.size() - 4) != ".exe") continue;
    std::ifstream f(dir + "/" + name, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    const LottieCheck c = ValidateLottie(bytes);
    EXPECT_TRUE(c.ok) << name << ": " << c.reason;
    ++n;
  }
  closedir(d);
  EXPECT_GE(n, 10);
}
