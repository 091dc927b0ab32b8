#include "site/site_navigation.h"

namespace site {
namespace {

struct Origin {
  bool ok = false;
  std::string scheme, host;
  long port = 0;
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

Origin OriginOf(const std::string& url) {
  Origin o;
  const size_t colon = url.find(':');
  if (colon == std::string::npos || colon == 0) return o;
  for (size_t i = 0; i < colon; ++i) o.scheme += Lower(url[i]);
  if (o.scheme != "http" && o.scheme != "https") return o;
  if (url.compare(colon + 1, 2, "//") != 0) return o;
  const size_t start = colon + 3;
  size_t end = start;
  while (end < url.size() && url[end] != '/' && url[end] != '?' && url[end] != '#') ++end;
  const std::string authority = url.substr(start, end - start);
  // A user name can hide the real host ("site@elsewhere"); a backslash or a
  // blank is read differently by different parsers.
  if (authority.empty() || authority.find_first_of("@\\ \t\r\n%") != std::string::npos) return o;
  size_t host_end = authority.size();
  if (authority[0] == '[') {
    host_end = authority.find(']');
    if (host_end == std::string::npos) return o;
    ++host_end;
  } else {
    const size_t c = authority.find(':');
    if (c != std::string::npos) host_end = c;
  }
  for (size_t i = 0; i < host_end; ++i) o.host += Lower(authority[i]);
  while (!o.host.empty() && o.host.back() == '.') o.host.pop_back();  // "site.example." is the same host
  if (o.host.empty()) return o;
  o.port = o.scheme == "https" ? 443 : 80;
  if (host_end < authority.size()) {
    if (authority[host_end] != ':') return o;
    const std::string digits = authority.substr(host_end + 1);
    if (!digits.empty()) {
      if (digits.size() > 5) return o;
      long port = 0;
      for (char ch : digits) {
        if (ch < '0' || ch > '9') return o;
        port = port * 10 + (ch - '0');
      }
      if (port < 1 || port > 65535) return o;
      o.port = port;
    }
  }
  o.ok = true;
  return o;
}

}  // namespace

bool IsSiteNavigation(const std::string& site_url, const std::string& url) {
  const Origin s = OriginOf(site_url), u = OriginOf(url);
  return s.ok && u.ok && s.scheme == u.scheme && s.host == u.host && s.port == u.port;
}

}  // namespace site
