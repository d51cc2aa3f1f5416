#pragma once

namespace kb {

// The push buttons ask for "Tahoma" by name. Where Debian's metric-compatible clone of it is
// installed, it is registered with the program so that captions fit their buttons as drawn;
// elsewhere, and for the other classic faces, fontconfig substitutes as usual. (The packaged
// "MS Sans Serif" clone is left out: it has no bold, and the tree is drawn in bold.)
void registerClassicFonts();

} // namespace kb
