// SPDX-License-Identifier: GPL-2.0-or-later
// The real file choosers behind the UiSeam, typed into as a user would: a profile name typed
// without its extension opens the ".pro" file.
#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "UiSeam.h"

namespace {

const QString kFilter = QStringLiteral("pro (*.pro);;All Files (*)");

// Enters `text` as the file name as soon as the chooser shows and clicks Open (or Save). A chooser
// still open a while after that (it refused the name and shows "file not found") is cancelled, so a
// refused name ends as a cancel instead of hanging the test.
void typeIntoChooser(const QString& text) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, text] {
        auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        auto* name = chooser != nullptr
                         ? chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))
                         : nullptr;
        if (name == nullptr) {
            return;
        }
        poll->stop();
        poll->deleteLater();
        // Set rather than typed: typing a whole path opens the completer, which takes the Enter.
        name->setText(text);
        auto* buttons = chooser->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
        for (QAbstractButton* b : buttons->buttons()) {
            if (buttons->buttonRole(b) == QDialogButtonBox::AcceptRole) {
                b->click();
                break;
            }
        }
        // Owned by the chooser: gone with it when the name was taken.
        QTimer::singleShot(3000, chooser, [chooser] {
            QWidget* open = QApplication::activeModalWidget();
            if (open != nullptr && open != chooser) {
                open->close();
            }
            chooser->reject();
        });
    });
    poll->start(20);
}

}  // namespace

class FileDialogTest : public QObject {
    Q_OBJECT

private slots:
    void openTypedName_data() {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("opened");  // empty: nothing opened
        QTest::newRow("name without extension") << QStringList{"gaming.pro"} << "gaming"
                                                << "gaming.pro";
        QTest::newRow("name with its extension") << QStringList{"gaming.pro"} << "gaming.pro"
                                                 << "gaming.pro";
        QTest::newRow("another extension is kept")
            << QStringList{"gaming.pro", "gaming.xml"} << "gaming.xml"
            << "gaming.xml";
        QTest::newRow("the profile goes before a file of the bare name")
            << QStringList{"gaming", "gaming.pro"} << "gaming"
            << "gaming.pro";
        QTest::newRow("a name that is nowhere opens nothing")
            << QStringList{"gaming.pro"} << "racing"
            << "";
    }
    void openTypedName() {
        QFETCH(QStringList, files);
        QFETCH(QString, typed);
        QFETCH(QString, opened);
        QTemporaryDir dir;
        for (const QString& f : files) {
            QFile file(dir.filePath(f));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("<Profile/>");
        }
        typeIntoChooser(dir.filePath(typed));
        UiSeam realDialogs;
        const QString chosen =
            realDialogs.openFileName(nullptr, QString(), QString(), kFilter, QStringLiteral("pro"));
        QCOMPARE(chosen, opened.isEmpty() ? QString() : dir.filePath(opened));
    }

    // The save chooser keeps adding the extension to a new name.
    void saveTypedNameGetsTheExtension() {
        QTemporaryDir dir;
        typeIntoChooser(dir.filePath(QStringLiteral("mine")));
        UiSeam realDialogs;
        QCOMPARE(
            realDialogs.saveFileName(nullptr, QString(), QString(), kFilter, QStringLiteral("pro")),
            dir.filePath(QStringLiteral("mine.pro")));
    }
};

QTEST_MAIN(FileDialogTest)

#include "FileDialogTest.moc"
