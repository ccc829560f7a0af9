#pragma once

#include <QScrollArea>
#include <QString>

#include <vector>

namespace fernwick::ui {

class StyledButton;

/// The breadcrumb trail of the result header: one button per entry, "›" between them, in a
/// horizontal scroll area at most 380 points wide. Whatever its width, the last crumb is shown
/// whole: the earlier crumbs are shortened with an ellipsis first (the longest ones before the
/// others, each keeping a few letters), and when even that leaves too little room, the row is
/// scrolled to its end. Only a last crumb wider than the whole area is itself shortened.
/// GUI thread only.
class CrumbTrail : public QScrollArea {
    Q_OBJECT
public:
    static constexpr int kMaximumWidth = 380;

    explicit CrumbTrail(QWidget* parent = nullptr);

    /// Replaces the crumbs by one per name, in trail order; an empty name shows as "~".
    void setTrail(const std::vector<QString>& names);
    const std::vector<StyledButton*>& crumbs() const { return m_crumbs; }

    /// As wide as every crumb whole, up to the maximum width.
    QSize sizeHint() const override;
    /// As wide as the earlier crumbs shortened and the last one whole, up to the maximum width.
    QSize minimumSizeHint() const override;

    /// The widths of the crumbs fitted into `room` points (what is left for the buttons once
    /// the separators and spacing are taken): all `natural` widths when they fit; else the
    /// earlier crumbs are capped at one common width (never below their `minimum`) as wide as
    /// the room allows beside the whole last crumb; else the earlier ones keep their minimum and
    /// the last crumb keeps its natural width up to `viewport`.
    static std::vector<int> fitWidths(const std::vector<int>& natural,
                                      const std::vector<int>& minimum, int room, int viewport);

signals:
    void crumbChosen(int index);

protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// Sizes the crumbs for the current width and scrolls to the end of the row.
    void fit();
    /// The width of the separators and of the spacing between all items of the row.
    int gapsWidth() const;

    std::vector<StyledButton*> m_crumbs;
    std::vector<int> m_natural;
    std::vector<int> m_minimum;
    int m_separatorWidth = 0;
};

} // namespace fernwick::ui
