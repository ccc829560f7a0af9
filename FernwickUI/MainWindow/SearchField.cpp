#include "FernwickUI/MainWindow/SearchField.h"

#include "FernwickUI/Kit/KeyChip.h"
#include "FernwickUI/Kit/PlainLabel.h"
#include "FernwickUI/State/AppState.h"
#include "FernwickUI/Style/Palette.h"
#include "FernwickUI/Style/SystemFont.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>

namespace fernwick::ui {

SearchField::SearchField(AppState& state, QWidget* parent) : QWidget(parent), m_state(state) {
    setFixedSize(320, 28);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(10, 5, 10, 5);
    row->setSpacing(8);
    row->addWidget(new IconView("magnifyingglass", 12, whiteAt(0.40), this));

    m_edit = new QLineEdit(this);
    m_edit->setFrame(false);
    m_edit->setFont(uiFont(12));
    m_edit->setPlaceholderText(QStringLiteral("Search files and folders..."));
    QPalette palette = m_edit->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::PlaceholderText, whiteAt(0.35));
    m_edit->setPalette(palette);
    row->addWidget(m_edit, 1);

    ButtonLook clear;
    clear.icon = "xmark.circle.fill";
    clear.iconSize = 11;
    clear.iconColour = whiteAt(0.40);
    clear.paddingH = 0;
    clear.paddingV = 0;
    m_clear = new StyledButton(QString(), clear, this);
    // Clearing leaves the focus where it is: the button takes none, and a click on the field's
    // frame finds the text field focused and goes no further (the window takes click focus).
    m_clear->setFocusPolicy(Qt::NoFocus);
    setFocusProxy(m_edit);
    row->addWidget(m_clear);

    ButtonLook hint;
    hint.font = uiFont(10, QFont::Medium, FontDesign::monospaced);
    hint.textColour = whiteAt(0.35);
    hint.paddingH = 5;
    hint.paddingV = 2;
    hint.background = whiteAt(0.06);
    hint.cornerRadius = 4;
    hint.outline = whiteAt(0.12);
    hint.outlineWidth = 0.8;
    m_hint = makeKeyChip(shortcutText(QKeySequence(Qt::CTRL | Qt::Key_F)), hint, this);
    row->addWidget(m_hint);

    connect(m_edit, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_state.setSearchText(text.toStdString()); });
    connect(m_clear, &QAbstractButton::clicked, this, [this] { m_state.setSearchText(""); });
    connect(&m_state, &AppState::searchTextChanged, this, &SearchField::refresh);
    refresh();
}

void SearchField::refresh() {
    const QString text = QString::fromStdString(m_state.searchText());
    // The state announces equal values too: setting the same text would move the cursor.
    if (m_edit->text() != text) {
        m_edit->setText(text);
    }
    m_clear->setVisible(!text.isEmpty());
}

void SearchField::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(whiteAt(0.12), 1));
    painter.setBrush(Palette::searchFieldBackground());
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}

} // namespace fernwick::ui
