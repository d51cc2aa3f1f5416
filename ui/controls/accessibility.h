#pragma once

namespace kb {

// Makes the self-painted buttons known to assistive technology as buttons with a name, a
// disabled state and a "Press" action. Safe to call more than once.
void installControlsAccessibility();

} // namespace kb
