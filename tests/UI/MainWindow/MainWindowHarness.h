#pragma once

// A main window over an AppState with injected services on a temporary home, and the helpers
// the window's tests share.

#include "FernwickUI/Kit/StyledButton.h"
#include "FernwickUI/MainWindow/MainWindow.h"
#include "tests/UI/State/AppStateHarness.h"

#include <QApplication>
#include <QTest>

#include <memory>
#include <optional>
#include <stdexcept>

namespace fernwick::test {

/// The fixture folder "fixture" in the home: two folders (one named with markup and "&"), a
/// nested folder and loose files, all with real sizes on disk.
inline void makeFixture(TempTree& tree) {
    tree.denseFile("fixture/Alpha/a1.dat", 30000);
    tree.denseFile("fixture/Alpha/a2.dat", 20000);
    tree.denseFile("fixture/Alpha/Inner/deep.dat", 5000);
    tree.denseFile("fixture/Beta/b1.dat", 15000);
    tree.denseFile("fixture/gamma.bin", 10000);
    tree.denseFile("fixture/<b>x<b> & y/inside.txt", 4000);
}

struct WindowHarness {
    Harness h;
    std::unique_ptr<ui::AppState> state;
    std::unique_ptr<ui::MainWindow> window;
    /// What the folder chooser answers; nullopt is a cancelled chooser.
    std::optional<std::filesystem::path> chosenFolder;
    int chooserRuns = 0;

    /// `realScans`: scans walk the disk; otherwise the harness's scan body answers.
    explicit WindowHarness(bool realScans = true) {
        makeFixture(h.tree);
        if (realScans) {
            h.scanBody = [](const std::filesystem::path& root, int depth,
                            const std::function<void(const ScanProgress&)>& onProgress,
                            const std::atomic<bool>&) {
                AsyncDiskScanner scanner;
                return scanner.scan(root, depth, onProgress);
            };
        }
    }

    void open() {
        state = h.make();
        ui::MainWindowSeams seams;
        seams.chooseFolder = [this](QWidget*) {
            ++chooserRuns;
            return chosenFolder;
        };
        seams.home = h.tree.root();
        window = std::make_unique<ui::MainWindow>(*state, seams);
        window->resize(1300, 820);
        window->show();
        h.settle();
    }

    /// Scans the fixture folder and waits for the result.
    bool scanFixture() {
        state->startScan(h.tree / "fixture");
        return QTest::qWaitFor(
            [this] {
                h.settle();
                return state->scanState().kind() == ui::ScanState::Kind::completed;
            },
            10000);
    }

    /// The child of the shown node named `name`.
    DiskNodePtr child(const std::string& name) const {
        for (const auto& node : state->currentTreemapRoot()->children) {
            if (node->name() == name) {
                return node;
            }
        }
        return nullptr;
    }
};

/// The styled button below `parent` labelled `label`; null when none.
inline ui::StyledButton* findButton(QWidget* parent, const QString& label) {
    for (auto* button : parent->findChildren<ui::StyledButton*>()) {
        if (button->label() == label && button->isVisibleTo(parent)) {
            return button;
        }
    }
    return nullptr;
}

inline void click(QWidget* widget, QPoint at = {}) {
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier,
                      at.isNull() ? widget->rect().center() : at);
}

} // namespace fernwick::test
