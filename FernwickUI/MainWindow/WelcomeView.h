#pragma once

#include <QWidget>

#include <functional>

namespace fernwick::ui {

/// The welcome screen shown while no scan runs and none is shown: the app mark, title and
/// subtitle, "Scan Home Folder" and "Choose Folder". GUI thread only.
class WelcomeView : public QWidget {
    Q_OBJECT
public:
    WelcomeView(const std::function<void()>& scanHome,
                const std::function<void()>& chooseFolderAndScan, QWidget* parent = nullptr);
};

} // namespace fernwick::ui
