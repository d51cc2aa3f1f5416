#pragma once

class QWidget;

namespace kb {

class xp_canvas;
class xptopbuttons;

// The caption buttons of the program's own windows beside the main window's: minimise,
// maximise (shown, but disabled: these windows are not maximised) and close, on the window's
// frame, over its caption bar, wired to minimise and close the window; Escape closes it too,
// wherever its focus is.
struct CaptionButtons {
    xptopbuttons* minimise = nullptr;
    xptopbuttons* maximise = nullptr;
    xptopbuttons* close = nullptr;

    static CaptionButtons addTo(xp_canvas* frame, QWidget* window);
    // At the right end of the caption bar of a window `width` pixels wide.
    void place(int width) const;
};

} // namespace kb
