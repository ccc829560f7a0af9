#include "FernwickUI/Visualisations/VisualisationView.h"

#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QMouseEvent>

namespace fernwick::ui {

VisualisationView::VisualisationView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
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
    auto menu = std::make_unique<QMenu>(this);
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
            connect(menu->addAction(menuText(tr("Move to Trash"))), &QAction::triggered, this,
                    [this, node] { emit trashRequested(node); });
            break;
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
            emit selectRequested(m_pressedNode);
        }
        m_pressedNode.reset();
    }
    QWidget::mouseReleaseEvent(event);
}

void VisualisationView::mouseDoubleClickEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        m_afterDoubleClick = true;
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
