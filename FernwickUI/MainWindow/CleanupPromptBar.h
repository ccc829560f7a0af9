#pragma once

#include "FernwickCore/Model/DiskNode.h"

#include <QWidget>

#include <memory>

class QLabel;

namespace fernwick::ui {

class AppState;
class ElidedLabel;
class StyledButton;

/// The bar above the result canvas offering the cleanup plan while it would free more than
/// 100 MB: the amount, the number of candidates, "Review & Clean" and a close button that hides
/// it for this session until another scan's tree replaces the current one. Followed by its own
/// divider. GUI thread only; the state must outlive it.
class CleanupPromptBar : public QWidget {
    Q_OBJECT
public:
    explicit CleanupPromptBar(AppState& state, QWidget* parent = nullptr);

    bool isDismissed() const { return m_dismissed; }
    QLabel* amountLabel() const { return m_amount; }
    ElidedLabel* itemsLabel() const { return m_items; }
    StyledButton* reviewButton() const { return m_review; }
    StyledButton* closeButton() const { return m_close; }

private:
    void refresh();
    void rootChanged();
    void rememberRoot();

    AppState& m_state;
    QLabel* m_amount = nullptr;
    ElidedLabel* m_items = nullptr;
    StyledButton* m_review = nullptr;
    StyledButton* m_close = nullptr;
    bool m_dismissed = false;
    // The tree the dismissal belongs to, by identity; weak, so a freed tree's address reused by
    // the next one is never taken for the same tree.
    std::weak_ptr<DiskNode> m_root;
    Uuid m_rootId; // a change made while the tree is read copies the root, keeping its id
};

} // namespace fernwick::ui
