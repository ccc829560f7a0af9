#include "FernwickUI/Style/SystemIcons.h"

#include "FernwickUI/Style/SystemFont.h"

#include <QFontDatabase>
#include <QStringList>

#include <algorithm>
#include <array>
#include <utility>

namespace fernwick::ui {

namespace {

constexpr const char* kIconFontPath =
    "/usr/share/fonts/truetype/material-design-icons-iconfont/MaterialIcons-Regular.ttf";

// System icon name -> code point of the Material Icons font. Sorted by name so that lookups
// can use a binary search. The comment names the Material icon chosen.
constexpr std::array<std::pair<std::string_view, char16_t>, 71> kIcons{{
    {"app.badge", 0xE5C3},                                        // apps
    {"app.badge.checkmark", 0xEF40},                              // app_registration
    {"app.fill", 0xE5C3},                                         // apps
    {"archivebox.fill", 0xE149},                                  // archive
    {"arrow.clockwise", 0xE5D5},                                  // refresh
    {"arrow.down.circle.fill", 0xF181},                           // arrow_circle_down
    {"arrow.right.circle", 0xEAAA},                               // arrow_circle_right
    {"arrow.up.forward.app", 0xE89E},                             // open_in_new
    {"bolt.horizontal.circle.fill", 0xE932},                      // offline_bolt
    {"brain.head.profile", 0xEA4A},                               // psychology
    {"chart.xyaxis.line", 0xE6E1},                                // show_chart
    {"checkmark.circle.fill", 0xE86C},                            // check_circle
    {"checkmark.shield.fill", 0xE8E8},                            // verified_user
    {"chevron.left", 0xE5CB},                                     // chevron_left
    {"circle.grid.2x2.fill", 0xE6DD},                             // bubble_chart
    {"circle.hexagongrid.fill", 0xEAA6},                          // hive
    {"clock.arrow.circlepath", 0xE889},                           // history
    {"command", 0xEAE7},                                          // keyboard_command_key
    {"cpu", 0xE30D},                                              // developer_board
    {"cube.box", 0xE9FE},                                         // view_in_ar
    {"desktopcomputer", 0xE30A},                                  // computer
    {"doc.badge.arrow.up", 0xE9FC},                               // upload_file
    {"doc.fill", 0xE24D},                                         // insert_drive_file
    {"doc.on.doc", 0xE14D},                                       // content_copy
    {"doc.on.doc.fill", 0xE173},                                  // file_copy
    {"doc.text.fill", 0xE873},                                    // description
    {"exclamationmark.triangle.fill", 0xE002},                    // warning
    {"film.fill", 0xE02C},                                        // movie
    {"flame.fill", 0xEF55},                                       // local_fire_department
    {"folder.badge.gearshape", 0xE617},                           // folder_special
    {"folder.fill", 0xE2C7},                                      // folder
    {"gearshape", 0xE8B8},                                        // settings
    {"gearshape.2", 0xF10C},                                      // miscellaneous_services
    {"gearshape.fill", 0xE8B8},                                   // settings
    {"hammer", 0xE869},                                           // build
    {"hammer.circle.fill", 0xEF48},                               // build_circle
    {"hammer.fill", 0xE869},                                      // build
    {"hand.raised.fill", 0xE925},                                 // pan_tool
    {"hexagon.fill", 0xEB39},                                     // hexagon
    {"house.fill", 0xE88A},                                       // home
    {"info.circle", 0xE88F},                                      // info_outline
    {"internaldrive", 0xE1DB},                                    // storage
    {"internaldrive.fill", 0xE1DB},                               // storage
    {"keyboard", 0xE312},                                         // keyboard
    {"list.bullet", 0xE241},                                      // format_list_bulleted
    {"list.bullet.rectangle.fill", 0xE0EE},                       // list_alt
    {"lock.fill", 0xE897},                                        // lock
    {"lock.shield.fill", 0xEF3D},                                 // admin_panel_settings
    {"macbook", 0xE320},                                          // laptop_mac
    {"magnifyingglass", 0xE8B6},                                  // search
    {"memorychip", 0xE322},                                       // memory
    {"music.note", 0xE405},                                       // music_note
    {"paintpalette.fill", 0xE40A},                                // palette
    {"phone.badge.checkmark", 0xE200},                            // mobile_friendly
    {"photo.fill", 0xE410},                                       // photo
    {"play.badge.checkmark", 0xF06A},                             // smart_display
    {"plus", 0xE145},                                             // add
    {"point.topleft.down.curvedto.point.bottomright.up", 0xE97A}, // account_tree
    {"shield.checkered", 0xE32A},                                 // security
    {"shippingbox.fill", 0xE1A1},                                 // inventory_2
    {"sparkles", 0xE65F},                                         // auto_awesome
    {"square.split.2x2.fill", 0xE871},                            // dashboard
    {"square.stack.3d.up.fill", 0xE53B},                          // layers
    {"star.fill", 0xE838},                                        // star
    {"sun.max.fill", 0xE430},                                     // wb_sunny
    {"trash", 0xE92E},                                            // delete_outline
    {"trash.fill", 0xE872},                                       // delete
    {"trash.slash.fill", 0xE92B},                                 // delete_forever
    {"waveform.path.ecg", 0xEAA2},                                // monitor_heart
    {"xmark", 0xE5CD},                                            // close
    {"xmark.circle.fill", 0xE5C9},                                // cancel
}};

constexpr char16_t kUnknownGlyph = 0xE835; // check_box_outline_blank

const std::array<std::pair<std::string_view, char16_t>, kIcons.size()>& sortedIcons() {
    static const auto sorted = [] {
        auto copy = kIcons;
        std::sort(copy.begin(), copy.end());
        return copy;
    }();
    return sorted;
}

const std::pair<std::string_view, char16_t>* find(std::string_view name) {
    const auto& icons = sortedIcons();
    const auto it =
        std::lower_bound(icons.begin(), icons.end(), name,
                         [](const auto& entry, std::string_view key) { return entry.first < key; });
    return it != icons.end() && it->first == name ? &*it : nullptr;
}

} // namespace

QString systemIconGlyph(std::string_view name) {
    const auto* entry = find(name);
    return QString(QChar(entry ? entry->second : kUnknownGlyph));
}

bool hasSystemIcon(std::string_view name) {
    return find(name) != nullptr;
}

std::vector<std::string_view> knownSystemIconNames() {
    std::vector<std::string_view> names;
    names.reserve(kIcons.size());
    for (const auto& entry : kIcons) {
        names.push_back(entry.first);
    }
    return names;
}

QString systemIconFontFamily() {
    static const QString family = [] {
        const int id = QFontDatabase::addApplicationFont(QString::fromUtf8(kIconFontPath));
        return id < 0 ? QString() : QFontDatabase::applicationFontFamilies(id).value(0);
    }();
    return family;
}

QFont systemIconFont(double size) {
    QFont font;
    const QString family = systemIconFontFamily();
    if (!family.isEmpty()) {
        font.setFamilies({family});
    }
    font.setPointSizeF(size * kPointScale);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

} // namespace fernwick::ui
