#include "FernwickUI/Kit/FileChooser.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTest>
#include <QTimer>

using namespace fernwick::ui;

class ChooseFolderTest : public QObject {
    Q_OBJECT
private slots:
    // The folder panel opens at the home folder, not at the working directory.
    void opensAtTheHomeFolder() {
        QVERIFY(QDir::setCurrent(QStringLiteral("/")));
        QVERIFY(QDir::homePath() != QDir::currentPath());
        QString shown;
        QTimer::singleShot(0, [&shown] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            shown = dialog->directory().absolutePath();
            dialog->reject();
        });
        QVERIFY(!chooseFolder(nullptr, runFileChooserModally));
        QCOMPARE(shown, QDir(QDir::homePath()).absolutePath());
    }
};

QTEST_MAIN(ChooseFolderTest)
#include "ChooseFolderTest.moc"
