#pragma once
// Where the catalogue's browser control may go: pages of the site only.
#include <string>

namespace site {

// True when `url` is a page of the site at `site_url`: an http or https
// address with the same scheme, host (in any case) and port (the scheme's
// own port when none is written) as the site. Everything else is refused:
// another host or port, another scheme (javascript:, file:, data:, about:,
// mailto: and the like), user names in the address, relative or unreadable
// addresses.
bool IsSiteNavigation(const std::string& site_url, const std::string& url);

}  // namespace site
