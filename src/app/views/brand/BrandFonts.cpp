#include "app/views/brand/BrandFonts.h"

#include <QFontDatabase>
#include <QStringList>

using namespace Qt::StringLiterals;

namespace kestravin {

namespace BrandFonts {

namespace {

QString firstInstalled(const QStringList& families)
{
    const QStringList installed = QFontDatabase::families();
    for (const QString& family : families) {
        if (installed.contains(family, Qt::CaseInsensitive)) {
            return family;
        }
    }
    return {};
}

} // namespace

QFont font(int pixelSize, QFont::Weight weight, Design design)
{
    QFont result;
    switch (design) {
    case Design::Default:
        break;
    case Design::Rounded: {
        static const QString rounded
            = firstInstalled({ u"Nunito"_s, u"Quicksand"_s, u"Comfortaa"_s, u"Varela Round"_s });
        if (!rounded.isEmpty()) {
            result.setFamily(rounded);
        }
        break;
    }
    case Design::Monospaced:
        result = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        result.setStyleHint(QFont::Monospace);
        break;
    }
    result.setPixelSize(pixelSize);
    result.setWeight(weight);
    return result;
}

} // namespace BrandFonts

} // namespace kestravin
