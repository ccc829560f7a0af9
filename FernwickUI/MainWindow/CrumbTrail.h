#pragma once

#include <QScrollArea>
#include <QString>

#include <vector>

namespace fernwick::ui {

class StyledButton;

/// The breadcrumb trail of the result header: one button per entry, "›" between them, in a
/// horizontal scroll area at most 380 points wide. Every crumb is drawn whole; when they are
/// wider than the area, the row scrolls, and after every change of the trail or of the area's
/// width it is scrolled to its end, so that the last crumb shows. A vertical or horizontal
/// wheel scrolls it. At an edge where the trail goes on past the area, it fades into the
/// header's background, so that a crumb cut there reads as continued. GUI thread only.
class CrumbTrail : public QScrollArea {
    Q_OBJECT
public:
    static constexpr int kMaximumWidth = 380;
    /// How wide the fade at an edge is.
    static constexpr int kFadeWidth = 28;

    explicit CrumbTrail(QWidget* parent = nullptr);

    /// Replaces the crumbs by one per name, in trail order; an empty name shows as "~".
    void setTrail(const std::vector<QString>& names);
    const std::vector<StyledButton*>& crumbs() const { return m_crumbs; }

    /// As wide as every crumb whole, up to the maximum width.
    QSize sizeHint() const override;
    /// As wide as the last crumb whole and the fade before it, up to the maximum width: the row
    /// scrolls for the rest.
    QSize minimumSizeHint() const override;

signals:
    void crumbChosen(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Gives the row its natural width and scrolls it to its end.
    void scrollToEnd();
    /// The width of the separators and of the spacing between all items of the row.
    int gapsWidth() const;
    /// Shows the fade at each edge where the row goes on, over the viewport's edges.
    void placeFades();

    std::vector<StyledButton*> m_crumbs;
    std::vector<int> m_natural;
    int m_separatorWidth = 0;
    QWidget* m_startFade = nullptr;
    QWidget* m_endFade = nullptr;
};

} // namespace fernwick::ui
