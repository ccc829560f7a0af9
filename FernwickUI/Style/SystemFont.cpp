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

QFont title2() {
    return uiFont(17, QFont::Bold);
}

QFont title3() {
    return uiFont(15);
}

QFont headline() {
    return uiFont(13, QFont::DemiBold);
}

QFont subheadline() {
    return uiFont(11);
}

QFont caption() {
    return uiFont(10);
}

} // namespace fernwick::ui
