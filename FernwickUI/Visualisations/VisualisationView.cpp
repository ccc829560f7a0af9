#include "FernwickUI/Visualisations/VisualisationView.h"

#include "FernwickUI/Style/Palette.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QStyleOptionMenuItem>

namespace fernwick::ui {

namespace {

// A menu whose entries marked "destructive" show their text in the destructive red, as the
// confirmation dialogs' destructive buttons do.
class ItemMenu : public QMenu {
public:
    using QMenu::QMenu;

protected:
    void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override {
        QMenu::initStyleOption(option, action);
        if (action->property(kDestructive).toBool()) {
            for (const auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText}) {
                option->palette.setColor(QPalette::Active, role, Palette::destructiveRed());
                option->palette.setColor(QPalette::Inactive, role, Palette::destructiveRed());
            }
        }
    }

public:
    static constexpr const char* kDestructive = "destructive";
};

} // namespace

VisualisationView::VisualisationView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    m_clickTimer.setSingleShot(true);
    connect(&m_clickTimer, &QTimer::timeout, this, &VisualisationView::clickTimedOut);
}

VisualisationView::~VisualisationView() = default;

std::unique_ptr<QMenu> VisualisationView::contextMenuAt(const QPoint&) {
    return nullptr;
}

void VisualisationView::updateHover(const QPointF& pos) {
    setHoveredItem(itemAt(pos));
}

void VisualisationView::hoverChanged(int, int) {
    update();
}

void VisualisationView::setHoveredItem(int item) {
    if (item == m_hoveredItem) {
        return;
    }
    const int previous = m_hoveredItem;
    m_hoveredItem = item;
    hoverChanged(previous, item);
}

std::unique_ptr<QMenu> VisualisationView::buildItemMenu(const DiskNodePtr& node,
                                                        std::initializer_list<MenuEntry> entries) {
    std::unique_ptr<QMenu> menu = std::make_unique<ItemMenu>(this);
    for (const auto entry : entries) {
        switch (entry) {
        case MenuEntry::inspect:
            connect(menu->addAction(menuText(tr("Inspect Details"))), &QAction::triggered, this,
                    [this, node] { emit selectRequested(node); });
            break;
        case MenuEntry::drillDown:
            if (node->isDirectory()) {
                connect(menu->addAction(menuText(tr("Drill Down Into Folder"))),
                        &QAction::triggered, this, [this, node] { emit drillDownRequested(node); });
            }
            break;
        case MenuEntry::reveal:
            connect(menu->addAction(menuText(tr("Show in File Manager"))), &QAction::triggered,
                    this, [this, node] { emit revealRequested(node); });
            break;
        case MenuEntry::separator:
            menu->addSeparator();
            break;
        case MenuEntry::copyPath:
            connect(menu->addAction(menuText(tr("Copy Path"))), &QAction::triggered, this,
                    [node] { copyPathToClipboard(*node); });
            break;
        case MenuEntry::trash:
        case MenuEntry::destructiveTrash: {
            auto* action = menu->addAction(menuText(tr("Move to Trash")));
            action->setProperty(ItemMenu::kDestructive, entry == MenuEntry::destructiveTrash);
            connect(action, &QAction::triggered, this, [this, node] { emit trashRequested(node); });
            break;
        }
        }
    }
    return menu;
}

void VisualisationView::mouseMoveEvent(QMouseEvent* event) {
    updateHover(event->position());
    QWidget::mouseMoveEvent(event);
}

void VisualisationView::leaveEvent(QEvent* event) {
    setHoveredItem(-1);
    QWidget::leaveEvent(event);
}

void VisualisationView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        updateHover(event->position());
        const int item = itemAt(event->position());
        m_pressedNode = item >= 0 ? nodeOfItem(item) : nullptr;
    }
    QWidget::mousePressEvent(event);
}

void VisualisationView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const int item = itemAt(event->position());
        const bool secondOfDouble = m_afterDoubleClick;
        m_afterDoubleClick = false;
        // Compared by node: the layout may have been rebuilt between press and release.
        if (!secondOfDouble && item >= 0 && m_pressedNode && nodeOfItem(item) == m_pressedNode) {
            if (m_doubleClickFirst) {
                m_clickedNode = m_pressedNode;
                m_clickedAt = event->position();
                m_clickTimer.start(QApplication::doubleClickInterval());
            } else {
                emit selectRequested(m_pressedNode);
            }
        }
        m_pressedNode.reset();
    }
    QWidget::mouseReleaseEvent(event);
}

void VisualisationView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_afterDoubleClick = true;
        m_clickTimer.stop();
        m_clickedNode.reset();
        const int item = itemAt(event->position());
        if (item >= 0) {
            auto node = nodeOfItem(item);
            if (node->isDirectory()) {
                emit drillDownRequested(node);
            }
        }
    }
    QWidget::mouseDoubleClickEvent(event);
}

void VisualisationView::clickTimedOut() {
    // Only while the click's item still stands for the same node: a new root may have come.
    const DiskNodePtr node = std::move(m_clickedNode);
    m_clickedNode.reset();
    const int item = itemAt(m_clickedAt);
    if (node && item >= 0 && nodeOfItem(item) == node) {
        emit selectRequested(node);
    }
}

void VisualisationView::contextMenuEvent(QContextMenuEvent* event) {
    if (auto menu = contextMenuAt(event->pos())) {
        menu->exec(event->globalPos());
        event->accept();
    }
}

QString menuText(const QString& text) {
    QString escaped = text;
    return escaped.replace(QLatin1Char('&'), QLatin1String("&&"));
}

void copyPathToClipboard(const DiskNode& node) {
    auto* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(QString::fromStdString(node.path()));
}

} // namespace fernwick::ui
