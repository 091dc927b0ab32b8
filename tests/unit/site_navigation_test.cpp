#include "site/site_navigation.h"

#include <gtest/gtest.h>

// The catalogue's browser stays on the site: same scheme, host and port.
TEST(SiteNavigation, OnlyPagesOfTheSiteItself) {
  struct Case {
    const char* url;
    bool ok;
  } cases[] = {
      {"https://qrvsaver.example/VelmaraScreensaver/", true},
      {"https://QRVSaver.Example:443/VelmaraScreensaver/still.png?x=1#top", true},
      {"HTTPS://qrvsaver.example", true},
      {"https://qrvsaver.example./x", true},
      {"http://qrvsaver.example/VelmaraScreensaver/", false},  // the scheme differs
      {"https://qrvsaver.example:8443/", false},
      {"https://other.example/", false},
      {"https://qrvsaver.example.other.example/", false},
      {"https://qrvsaver.example@other.example/", false},
      {"https://other.example\\@qrvsaver.example/", false},
      {"https://qrvsaver.example:99999/", false},
      {"https://qrvsaver.example:44a/", false},
      {"javascript:alert(1)", false},
      {"JavaScript://qrvsaver.example/%0aalert(1)", false},
      {"file:///C:/Windows/win.ini", false},
      {"file://qrvsaver.example/share", false},
      {"about:blank", false},
      {"data:text/html,hi", false},
      {"mailto:someone@qrvsaver.example", false},
      {"/VelmaraScreensaver/", false},
      {"", false},
      {"https://", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    EXPECT_EQ(site::IsSiteNavigation("https://qrvsaver.example", c.url), c.ok);
  }
  // A site on loopback with its own port (the tests' server).
  EXPECT_TRUE(site::IsSiteNavigation("http://127.0.0.1:8080", "http://127.0.0.1:8080/VelmaraScreensaver/"));
  EXPECT_FALSE(site::IsSiteNavigation("http://127.0.0.1:8080", "http://127.0.0.1/VelmaraScreensaver/"));
  EXPECT_FALSE(site::IsSiteNavigation("http://127.0.0.1:8080", "http://127.0.0.1:8081/"));
  // An unreadable site address lets nothing through.
  EXPECT_FALSE(site::IsSiteNavigation("qrvsaver.example", "qrvsaver.example"));
}
