// The Qt side of the prompts: what each box and dialog really shows.

#include "apptitle.h"
#include "prompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <functional>

using namespace app;

namespace {

struct Shown {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
};

// Looks at the modal box once it is open, then presses `answer`.
void whenBoxOpens(Shown &shown, QMessageBox::StandardButton answer)
{
    QTimer::singleShot(0, [&shown, answer] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        shown = {box->windowTitle(), box->text(), box->icon(), box->standardButtons()};
        box->button(answer)->click();
    });
}

} // namespace

class PromptsTest : public QObject {
    Q_OBJECT
private slots:
    void plainMessage();
    void question_data();
    void question();
    void errorBox();
    void openFileAcceptsANewNameAsTyped();
    void openFileCancelled();
};

void PromptsTest::plainMessage()
{
    app::setAppTitle();
    Shown shown;
    whenBoxOpens(shown, QMessageBox::Ok);
    prompts().message(QStringLiteral("Done."));
    QCOMPARE(shown.title, QStringLiteral("Orvalle"));
    QCOMPARE(shown.text, QStringLiteral("Done."));
    QCOMPARE(shown.icon, QMessageBox::NoIcon);
    QCOMPARE(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void PromptsTest::question_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("yes");
    QTest::newRow("yes") << int(QMessageBox::Yes) << true;
    QTest::newRow("no") << int(QMessageBox::No) << false;
}

void PromptsTest::question()
{
    QFETCH(int, answer);
    QFETCH(bool, yes);
    Shown shown;
    whenBoxOpens(shown, QMessageBox::StandardButton(answer));
    QCOMPARE(prompts().question(QStringLiteral("/tmp/r.txt Already Exists. Overwrite It?")), yes);
    QCOMPARE(shown.title, QStringLiteral("Orvalle"));
    QCOMPARE(shown.icon, QMessageBox::NoIcon);
    QCOMPARE(shown.buttons, QMessageBox::Yes | QMessageBox::No);
}

void PromptsTest::errorBox()
{
    Shown shown;
    whenBoxOpens(shown, QMessageBox::Ok);
    prompts().errorBox(QStringLiteral("Broken\r\nin Orvallix2021/08/31.Form1.Form_Load at line 104\r\rPlease email"));
    QCOMPARE(shown.title, QStringLiteral("Application Error"));
    QCOMPARE(shown.icon, QMessageBox::Warning);
    QCOMPARE(shown.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    // CR LF and the lone CRs each become a line break on screen.
    QCOMPARE(shown.text, QStringLiteral("Broken\nin Orvallix2021/08/31.Form1.Form_Load at line 104\n\nPlease email"));
}

void PromptsTest::openFileAcceptsANewNameAsTyped()
{
    QTemporaryDir dir;
    const QString typed = dir.filePath(QStringLiteral("structure"));
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Select The Text File"));
        QCOMPARE(dialog->nameFilters(), QStringList{QStringLiteral("Text Files (*.txt)")});
        QCOMPARE(dialog->fileMode(), QFileDialog::AnyFile);
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
        QVERIFY(dialog->testOption(QFileDialog::DontUseNativeDialog));
        QVERIFY(dialog->testOption(QFileDialog::DontConfirmOverwrite));
        dialog->selectFile(typed);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    QCOMPARE(prompts().openFile(nullptr, QStringLiteral("Select The Text File"),
                                QStringLiteral("Text Files (*.txt)|*.txt"), QString()).path,
             typed);
}

void PromptsTest::openFileCancelled()
{
    QTimer::singleShot(0, [] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->reject();
    });
    QVERIFY(prompts().openFile(nullptr, QStringLiteral("Select Foxpro Database"),
                               QStringLiteral("Microsoft Database (*.dbc)|*.dbc|"), QString()).path.isEmpty());
}

QTEST_MAIN(PromptsTest)
#include "tst_prompts.moc"
