// The movies offered on the download site pass the player's own check, and
// the catalogue page's codes decode, by the program's own decoder, to the
// files the site serves.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

#include "download/code_entry.h"
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

TEST(SiteMovies, EveryCodeOnTheCataloguePageSpellsTheFileOfItsEntry) {
  const std::string vis = std::string(QRV_SOURCE_DIR) + "/site/VelmaraScreensaver";
  std::ifstream f(vis + "/index.html", std::ios::binary);
  ASSERT_TRUE(f) << "no catalogue page";
  const std::string page((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  // Each entry: its still, its name, a line of text, then its code. The page
  // links no movie file; the name is the file's under DWN/.
  const std::regex entry(
      R"re(<img src="img/([^"]*)"[^>]*><h2>([^<]*)</h2><p>[^<]*</p><p>Download code: <span class="code">([^<]*)</span>)re");
  std::set<std::string> names;
  int codes = 0;
  for (std::sregex_iterator it(page.begin(), page.end(), entry), end; it != end; ++it) {
    const std::string still = (*it)[1], name = (*it)[2], code = (*it)[3];
    SCOPED_TRACE(code + " -> " + name);
    EXPECT_EQ(download::DecodeCode(code), name);
    struct stat st{};
    EXPECT_EQ(stat((vis + "/DWN/" + name + ".exe").c_str(), &st), 0) << "the site has no such file";
    EXPECT_EQ(stat((vis + "/img/" + still).c_str(), &st), 0) << "the page shows a still the site lacks";
    EXPECT_TRUE(names.insert(name).second) << "listed twice";
    ++codes;
  }
  // Every code on the page belongs to an entry, and every file has one.
  size_t spans = 0;
  for (size_t at = page.find("class=\"code\""); at != std::string::npos; at = page.find("class=\"code\"", at + 1)) ++spans;
  EXPECT_EQ(spans, static_cast<size_t>(codes));
  EXPECT_GE(codes, 10);
  DIR* d = opendir((vis + "/DWN").c_str());
  ASSERT_NE(d, nullptr);
  while (dirent* e = readdir(d)) {
    const std::string file = e->d_name;
    if (file.size() > 4 && file.substr(file.size() - 4) == ".exe")
      EXPECT_EQ(names.count(file.substr(0, file.size() - 4)), 1u) << file << " has no code on the page";
  }
  closedir(d);
}
