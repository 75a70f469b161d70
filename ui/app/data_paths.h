// Where the program finds what it brings: its help page and the bundled sample, beside an
// installed program (PREFIX/share/vorlin) or in the source tree it was built from.
#pragma once

#include <QString>

namespace vorlin {

// Addresses of the Help menu's web pages, and the help page's name.
constexpr const char* kMakerWebPage = "https://www.massassi.net/";
constexpr const char* kCommunityWebPage = "https://www.massassi.net/jkm/";
constexpr const char* kHelpFile = "vorlin_help.html";

// The help page, "vorlin_help.html": in the current folder first, then in the program's data
// folder; empty when there is none.
QString HelpPagePath();
// The folder of the bundled sample (holding sample.gob); empty when there is none.
QString SampleDir();

} // namespace vorlin
