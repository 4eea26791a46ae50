#pragma once

#include <QFont>

namespace kestravin {

namespace BrandFonts {

enum class Design { Default, Rounded, Monospaced };

// A font of `pixelSize` logical pixels (the sizes of the design are points on a
// 1× screen, which are logical pixels here, not typographic points).
QFont font(int pixelSize, QFont::Weight weight = QFont::Normal, Design design = Design::Default);

} // namespace BrandFonts

} // namespace kestravin
