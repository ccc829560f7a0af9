// The main window's menu bar: Linux has no application menu, so the window carries File (the
// two scans and Quit) and Help (About and the update check).

#include "FernwickUI/MainWindow/MainWindow.h"

#include <QMenuBar>
#include <QVBoxLayout>

namespace fernwick::ui {

void MainWindow::buildMenus(QVBoxLayout* layout) {
    m_menuBar = new QMenuBar(this);
    // Inside the window on every desktop, so that its height is known and the same everywhere.
    m_menuBar->setNativeMenuBar(false);
    QMenu* file = m_menuBar->addMenu(QStringLiteral("File"));
    QAction* scanHome = file->addAction(QStringLiteral("Start Home Scan"));
    scanHome->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    connect(scanHome, &QAction::triggered, this, [this] { m_state.startScan(std::nullopt); });
    QAction* chooseFolder = file->addAction(QStringLiteral("Choose Folder to Scan..."));
    chooseFolder->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    connect(chooseFolder, &QAction::triggered, this, [this] { chooseFolderAndScan(); });
    file->addSeparator();
    QAction* quit = file->addAction(QStringLiteral("Quit Tarnbrook Ridar"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, this, [this] { m_seams.quit(); });

    QMenu* help = m_menuBar->addMenu(QStringLiteral("Help"));
    connect(help->addAction(QStringLiteral("About Tarnbrook Ridar")), &QAction::triggered, this,
            &MainWindow::showAbout);
    connect(help->addAction(QStringLiteral("Check for Updates...")), &QAction::triggered, this,
            [this] { m_state.checkForUpdatesManually(); });
    layout->setMenuBar(m_menuBar);
}

void MainWindow::showAbout() {
    if (m_about) {
        return;
    }
    m_about = new AlertDialog(QStringLiteral("About Tarnbrook Ridar"),
                              QStringLiteral("Tarnbrook Ridar ") +
                                  QString::fromStdString(m_state.currentVersion()),
                              this);
    m_about->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_about, &QDialog::finished, this, [this] { m_about = nullptr; });
    m_about->open();
}

} // namespace fernwick::ui
