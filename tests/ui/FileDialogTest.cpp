// SPDX-License-Identifier: GPL-2.0-or-later
// The real standard dialogs behind the UiSeam, used as a user would: a profile name typed
// without its extension opens the ".pro" file, and a command in a message stays on one line.
#include <QAbstractButton>
#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QFontDatabase>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
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

    // Commands to type into a terminal keep their lines whole; the text around them, its line
    // breaks and any markup characters come out as written.
    void messageCommandsGetABlockOfTheirOwn_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("markup");
        QTest::newRow("no command: plain text")
            << "Firmware download failed.\r\nTry again." << QString();
        QTest::newRow("commands between paragraphs")
            << "Run in a terminal:\n\n    sudo a '/x y/70-oskel.rules' /etc\n    sudo b\n\nthen "
               "replug."
            << "<p>Run in a terminal:</p><pre>sudo a '/x y/70-oskel.rules' /etc\nsudo b</pre>"
               "<p>then replug.</p>";
        QTest::newRow("markup characters and line breaks")
            << "The keyboard (<a&b>)\r\nis attached:\n    cp \"<a&b>\" /tmp"
            << "<p>The keyboard (&lt;a&amp;b&gt;)<br>is attached:</p>"
               "<pre>cp &quot;&lt;a&amp;b&gt;&quot; /tmp</pre>";
    }
    void messageCommandsGetABlockOfTheirOwn() {
        QFETCH(QString, text);
        QFETCH(QString, markup);
        QCOMPARE(messageMarkup(text), markup);
    }

    // In the real message box the longest command fits the text's width on one line.
    void aCommandInAMessageIsNotWrapped() {
        const QString command = QStringLiteral(
            "sudo install -m 644 '/usr/share/oskel/70-oskel.rules' /etc/udev/rules.d/70-oskel.rules");
        const QString text = QStringLiteral(
                                 "The keyboard (/dev/hidraw3) is attached, but you may not open "
                                 "it: the udev rule 70-oskel.rules that gives you access is not "
                                 "installed. Run in a terminal:\n\n    ") +
                             command + QStringLiteral("\n\nthen unplug and replug the keyboard.");
        int labelWidth = 0;
        int commandWidth = 0;
        bool selectable = false;
        QTimer::singleShot(0, qApp, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
            QVERIFY(label != nullptr);
            labelWidth = label->contentsRect().width();
            commandWidth =
                QFontMetrics(QFontDatabase::systemFont(QFontDatabase::FixedFont))
                    .horizontalAdvance(command);
            selectable = (label->textInteractionFlags() & Qt::TextSelectableByMouse) != 0;
            box->accept();
        });
        UiSeam realDialogs;
        realDialogs.message(nullptr, text, QStringLiteral("Oskel"));
        QVERIFY(commandWidth > 0);
        QVERIFY2(labelWidth >= commandWidth,
                 qPrintable(QStringLiteral("%1 < %2").arg(labelWidth).arg(commandWidth)));
        QVERIFY(selectable);
    }
};

QTEST_MAIN(FileDialogTest)

#include "FileDialogTest.moc"
