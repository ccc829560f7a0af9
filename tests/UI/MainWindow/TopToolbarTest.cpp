#include "FernwickUI/MainWindow/TopToolbar.h"
#include "FernwickUI/MainWindow/SearchField.h"
#include "FernwickUI/MainWindow/Sidebar.h"
#include "FernwickUI/Style/SystemIcons.h"
#include "tests/UI/MainWindow/MainWindowHarness.h"

#include <QLineEdit>

using namespace fernwick;
using namespace fernwick::ui;
using fernwick::test::click;
using fernwick::test::WindowHarness;

class TopToolbarTest : public QObject {
    Q_OBJECT

    static StyledButton* buttonWithTip(QWidget* parent, const QString& tip) {
        for (auto* button : parent->findChildren<StyledButton*>()) {
            if (button->toolTip() == tip) {
                return button;
            }
        }
        return nullptr;
    }

private slots:
    void fieldKeepsItsSizeAndSitsCentredBetweenMarkAndButtons() {
        WindowHarness w(false);
        w.open();
        TopToolbar* bar = w.window->topToolbar();
        SearchField* field = bar->searchField();
        QCOMPARE(field->edit()->placeholderText(), QStringLiteral("Search files and folders..."));
        QCOMPARE(field->hint()->label(), QStringLiteral("Ctrl+F"));
        for (int width : {1050, 1600}) {
            w.window->resize(width, 820);
            QCoreApplication::processEvents();
            QCOMPARE(bar->height(), 48);
            QCOMPARE(field->size(), QSize(320, 28));
            const double midpoint =
                (bar->productMark()->geometry().right() + 1 + bar->appsButton()->x()) / 2.0;
            QVERIFY2(std::abs(field->geometry().center().x() + 0.5 - midpoint) <= 1,
                     qPrintable(QString::number(width)));
        }
    }

    void clearButtonFollowsTheStateAndLeavesTheFocus() {
        WindowHarness w(false);
        w.open();
        SearchField* field = w.window->topToolbar()->searchField();
        QVERIFY(!field->clearButton()->isVisible());
        QVERIFY(field->hint()->isVisible());
        w.state->setSearchText("a");
        QVERIFY(field->clearButton()->isVisible());
        QVERIFY(field->hint()->isVisible());
        QCOMPARE(field->edit()->text(), QStringLiteral("a"));
        QWidget* focused = QApplication::focusWidget();
        click(field->clearButton());
        QCOMPARE(w.state->searchText(), std::string());
        QVERIFY(!field->clearButton()->isVisible());
        QCOMPARE(QApplication::focusWidget(), focused);
        // With the focus in the field, a click on the clear button leaves it there too.
        w.window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.window.get()));
        field->edit()->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(field->edit()));
        w.state->setSearchText("b");
        click(field->clearButton());
        QCOMPARE(w.state->searchText(), std::string());
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(field->edit()));

        // Ctrl+F from a sidebar button focuses the field and keeps its text.
        w.state->setSearchText("keep");
        auto* sidebarButton = w.window->sidebar()->findChildren<StyledButton*>().front();
        sidebarButton->setFocusPolicy(Qt::StrongFocus);
        sidebarButton->setFocus();
        QTest::keyClick(sidebarButton, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), field->edit());
        QCOMPARE(field->edit()->text(), QStringLiteral("keep"));

        // Typing writes the state and shows the results.
        field->edit()->clear();
        w.state->setSearchText("");
        QTest::keyClicks(field->edit(), QStringLiteral("abc"));
        QCOMPARE(w.state->searchText(), std::string("abc"));
        QCOMPARE(w.window->content(), MainWindow::Content::searchResults);
        QVERIFY(hasSystemIcon("command"));
    }

    void buttonsOpenTheirModalsAndAppsLoadOnce() {
        WindowHarness w(false);
        auto scans = std::make_shared<std::atomic<int>>(0);
        w.h.services.scanInstalledApplications = [scans] {
            ++*scans;
            InstalledApp app;
            app.name = "Editor";
            return std::vector<InstalledApp>{app};
        };
        w.open();
        TopToolbar* bar = w.window->topToolbar();
        const std::vector<std::pair<QString, ActiveModal>> buttons{
            {QStringLiteral("System Resource Monitor"), ActiveModal::systemMonitor},
            {QStringLiteral("Keyboard Shortcuts"), ActiveModal::shortcuts},
            {QStringLiteral("Color Themes (8 Palettes Available)"), ActiveModal::theme}};
        for (const auto& [tip, modal] : buttons) {
            StyledButton* button = buttonWithTip(bar, tip);
            QVERIFY2(button != nullptr, qPrintable(tip));
            QCOMPARE(button->size(), QSize(28, 28));
            // This platform's keyboard symbol, not the other platform's command key.
            if (modal == ActiveModal::shortcuts) {
                QCOMPARE(button->look().icon, std::string("keyboard"));
            }
            click(button);
            QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>(modal));
            w.state->setActiveModal(std::nullopt);
            w.h.settle();
        }
        QVERIFY(bar->appsButton()->toolTip().isEmpty());
        click(bar->appsButton());
        w.h.settle();
        w.state->setActiveModal(std::nullopt);
        w.h.settle();
        click(bar->appsButton());
        w.h.settle();
        QCOMPARE(scans->load(), 1);
        QCOMPARE(w.state->activeModal(), std::optional<ActiveModal>(ActiveModal::apps));
    }
};

QTEST_MAIN(TopToolbarTest)
#include "TopToolbarTest.moc"
