#include "FernwickUI/MainWindow/Banners.h"

#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/Palette.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace fernwick::ui {

namespace {

QHBoxLayout* bannerRow(QWidget* banner, const QColor& background) {
    setBackground(banner, background);
    auto* row = new QHBoxLayout(banner);
    row->setContentsMargins(16, 8, 16, 8);
    row->setSpacing(12);
    return row;
}

StyledButton* makeCloseButton(QWidget* banner) {
    ButtonLook look;
    look.icon = "xmark";
    look.iconSize = 10;
    look.iconColour = whiteAt(0.40);
    look.paddingH = 4;
    look.paddingV = 4;
    return new StyledButton(QString(), look, banner);
}

} // namespace

UpdateBanner::UpdateBanner(AppState& state, QWidget* parent) : QWidget(parent), m_state(state) {
    QHBoxLayout* row = bannerRow(this, Palette::updateBannerBackground());
    row->addWidget(new IconView("arrow.down.circle.fill", 16, Palette::sizeGreen(), this));
    m_message = makeLabel(QString(), uiFont(12, QFont::Medium), Qt::white, this);
    row->addWidget(m_message);
    row->addStretch(1);
    auto* download =
        new StyledButton(QStringLiteral("Download Update"),
                         buttonLook(ButtonStyle::borderedProminent, uiFont(11, QFont::DemiBold),
                                    Palette::downloadGreen(), ControlSize::small),
                         this);
    connect(download, &QAbstractButton::clicked, this, [this] { m_state.openUpdateDownload(); });
    row->addWidget(download);
    m_close = makeCloseButton(this);
    m_close->setToolTip(QStringLiteral("Remind me next launch"));
    connect(m_close, &QAbstractButton::clicked, this,
            [this] { m_state.setAvailableUpdate(std::nullopt); });
    row->addWidget(m_close);
    connect(&m_state, &AppState::availableUpdateChanged, this, &UpdateBanner::refresh);
    refresh();
}

void UpdateBanner::refresh() {
    const auto& update = m_state.availableUpdate();
    m_message->setText(update
                           ? QStringLiteral("Tarnbrook Ridar ") + plainText(update->latestVersion) +
                                 QStringLiteral(" is available — you have ") +
                                 plainText(m_state.currentVersion()) + QStringLiteral(".")
                           : QString());
}

PermissionBanner::PermissionBanner(AppState& state, QWidget* parent) : QWidget(parent) {
    QHBoxLayout* row = bannerRow(this, Palette::permissionBannerBackground());
    row->addWidget(new IconView("lock.shield.fill", 16, Palette::permissionShieldBlue(), this));
    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    texts->addWidget(makeLabel(QStringLiteral("One-Time Permission Setup"), uiFont(12, QFont::Bold),
                               Qt::white, this));
    QLabel* detail =
        makeLabel(QStringLiteral("Enable Full Disk Access once in System Settings so Tarnbrook can "
                                 "deep-scan without asking for individual folder permissions."),
                  uiFont(11), whiteAt(0.70), this);
    detail->setWordWrap(true);
    texts->addWidget(detail);
    row->addLayout(texts, 1);
    auto* grant =
        new StyledButton(QStringLiteral("Grant in Settings"),
                         buttonLook(ButtonStyle::borderedProminent, uiFont(11, QFont::DemiBold),
                                    Palette::accentBlue(), ControlSize::small),
                         this);
    connect(grant, &QAbstractButton::clicked, this,
            [&state] { state.requestDiskPermissionOnce(); });
    row->addWidget(grant);
    auto* never = new StyledButton(
        QStringLiteral("Don't Ask Again"),
        buttonLook(ButtonStyle::bordered, uiFont(11), QColor(), ControlSize::small), this);
    connect(never, &QAbstractButton::clicked, this,
            [&state] { state.dismissPermissionNoticePermanently(); });
    row->addWidget(never);
    m_close = makeCloseButton(this);
    connect(m_close, &QAbstractButton::clicked, this,
            [&state] { state.dismissPermissionNoticePermanently(); });
    row->addWidget(m_close);
}

} // namespace fernwick::ui
