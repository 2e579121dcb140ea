#include "tools/zarn_fleet/fleet_page.h"

#include <openssl/evp.h>

#include <fstream>
#include <sstream>
#include <string_view>

#include "outputs/live/live_page.h"
#include "survey/json_writer.h"

namespace zarn {

extern const std::string_view kFleetHtml, kFleetCss, kFleetJs;

namespace {

void replace(std::string& text, std::string_view marker, std::string_view with) {
    const size_t at = text.find(marker);
    if (at != std::string::npos) text.replace(at, marker.size(), with);
}

// Lines ended by LF alone, as a browser reads a page: a script's hash is of what it reads.
std::string unixLines(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r') out += text[i];
        else if (i + 1 == text.size() || text[i + 1] != '\n') out += '\n';
    }
    return out;
}

// A file's text without its source map's line: a browser would ask this host for the map.
bool readAsset(const std::string& path, std::string& text, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    if (!in.is_open() || in.bad()) {
        error = "cannot read " + path + " (Debian's libjs-leaflet)";
        return false;
    }
    text = unixLines(all.str());
    for (const char* mark : {"//# sourceMappingURL=", "/*# sourceMappingURL="}) {
        const size_t at = text.rfind(mark);
        if (at != std::string::npos) text.erase(at, text.find('\n', at) - at);
    }
    return true;
}

// 'sha256-...' of each <script> element's text in `page`, as a Content-Security-Policy names it.
std::string scriptHashes(const std::string& page) {
    std::string hashes;
    constexpr std::string_view open = "<script>", close = "</script>";
    for (size_t at = page.find(open); at != std::string::npos; at = page.find(open, at)) {
        at += open.size();
        const size_t end = page.find(close, at);
        if (end == std::string::npos) break;
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int size = 0;
        unsigned char text[4 * EVP_MAX_MD_SIZE];
        EVP_Digest(page.data() + at, end - at, digest, &size, EVP_sha256(), nullptr);
        EVP_EncodeBlock(text, digest, static_cast<int>(size));
        hashes += " 'sha256-" + std::string(reinterpret_cast<const char*>(text)) + "'";
        at = end;
    }
    return hashes;
}

}  // namespace

bool fleetPage(const std::string& leafletFolder, const std::string& tiles, std::string& page, std::string& error) {
    std::string script, style;
    if (!readAsset(leafletFolder + "/leaflet.js", script, error) ||
        !readAsset(leafletFolder + "/leaflet.css", style, error))
        return false;
    if (script.find("</script") != std::string::npos || style.find("</style") != std::string::npos) {
        error = "Leaflet's files in " + leafletFolder + " cannot go inside the page";
        return false;
    }
    std::string tilesJson;
    if (tiles.empty()) tilesJson = "null";
    else appendJsonString(tilesJson, tiles);
    page = kFleetHtml;
    replace(page, "/*ZARN_STYLE*/", kFleetCss);
    replace(page, "/*ZARN_COLOURS*/", pageColours());
    replace(page, "/*ZARN_TILES*/", tilesJson);
    replace(page, "/*ZARN_SCRIPT*/", kFleetJs);
    replace(page, "/*LEAFLET_CSS*/", style);
    replace(page, "/*LEAFLET_JS*/", script);
    return true;
}

std::string fleetPageSecurity(const std::string& page, const std::string& tiles) {
    std::string images = "data:";
    if (!tiles.empty()) {
        const size_t host = tiles.find("://") + 3;
        images += " " + tiles.substr(0, tiles.find('/', host));
    }
    return "default-src 'none'; script-src" + scriptHashes(page) + "; style-src 'unsafe-inline'; img-src " + images +
           "; connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'";
}

}  // namespace zarn
