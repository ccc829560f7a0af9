#include "FernwickUI/Style/SystemFont.h"

#include <QFontDatabase>

namespace fernwick::ui {

QFont uiFont(double size, QFont::Weight weight, FontDesign design) {
    QFont font = design == FontDesign::monospaced
                     ? QFontDatabase::systemFont(QFontDatabase::FixedFont)
                     : QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(size * kPointScale);
    font.setWeight(weight);
    return font;
}

} // namespace fernwick::ui
