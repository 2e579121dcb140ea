#pragma once
// The live page as one HTML document: its style, script, icon and colour table
// inside, so that it needs no second request (a token in its address is all it
// carries) and fetches nothing from anywhere.
//
// The page's files are outputs/live/page/ (index.html, live.css, live.js),
// built into the program. The colours are zarnlog plot's, from the one colour
// map (survey/colour_map.h): pageColours() is the table the script reads,
//   {"viridis":[4456788,...],"lo":-120,"hi":-40,"no_data":13158600}
// 256 colours as 0xRRGGBB numbers, index round(255 t) for t from 0 to 1 over
// lo..hi dBm (the scale before anything is seen), and the grey of no data.

#include <string>

namespace zarn {

std::string livePage();
std::string pageColours();

}  // namespace zarn
