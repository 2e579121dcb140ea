#pragma once
// zarn-fleet's page: its own files (page/, built into the program) with Leaflet's script and
// style, read at start from Debian's libjs-leaflet, in one document, so the page fetches
// nothing but its API from this host, and the team's tile server when --tiles names one.

#include <string>

namespace zarn {

// False with the reason when Leaflet's files cannot be read from `leafletFolder`.
bool fleetPage(const std::string& leafletFolder, const std::string& tiles, std::string& page, std::string& error);
// Its Content-Security-Policy: nothing from elsewhere but the tiles' images, and no script
// but those `page` holds (by their hashes), so a name written into it as HTML runs nothing.
std::string fleetPageSecurity(const std::string& page, const std::string& tiles);

}  // namespace zarn
