#pragma once

class QWidget;

namespace kestravin {

// Does now the layout work that Qt leaves to the event loop (and skips for a
// hidden window): every layout in `root`, innermost first, takes the sizes
// its widgets ask for at this moment. Afterwards `root`'s size hint and
// height for a width count a text set a moment ago with the lines it wraps
// into, and a section hidden a moment ago not at all.
void settleLayouts(QWidget* root);

} // namespace kestravin
