// The Qt side of the prompts: what each box and dialog really shows.

#include "app/core/apptitle.h"
#include "app/prompts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
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
    QWidget *parent = nullptr;
};

// Looks at the modal box once it is open, then presses `answer`.
void whenBoxOpens(Shown &shown, QMessageBox::StandardButton answer)
{
    QTimer::singleShot(0, [&shown, answer] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        shown = {box->windowTitle(), box->text(), box->icon(), box->standardButtons(), box->parentWidget()};
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
    void boxesOpenOverTheirWindow_data();
    void boxesOpenOverTheirWindow();
    void openFileStartsInTheFolderAndTellsTheEntryChosen();
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

void PromptsTest::boxesOpenOverTheirWindow_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("named"); // the caller names a widget of the window; else the window is the active one
    for (const char *box : {"message", "question", "error"}) {
        QTest::newRow(qPrintable(QStringLiteral("%1, named").arg(QLatin1String(box)))) << box << true;
        QTest::newRow(qPrintable(QStringLiteral("%1, active").arg(QLatin1String(box)))) << box << false;
    }
}

void PromptsTest::boxesOpenOverTheirWindow()
{
    QFETCH(QString, box);
    QFETCH(bool, named);
    QWidget window;
    auto *button = new QPushButton(QStringLiteral("Start"), &window);
    QWidget other;
    window.show();
    other.show();
    QApplication::setActiveWindow(named ? &other : &window);
    QWidget *owner = named ? button : nullptr;
    Shown shown;
    whenBoxOpens(shown, box == QLatin1String("question") ? QMessageBox::Yes : QMessageBox::Ok);
    if (box == QLatin1String("message"))
        prompts().message(owner, QStringLiteral("Done."));
    else if (box == QLatin1String("question"))
        QVERIFY(prompts().question(owner, QStringLiteral("Overwrite It?")));
    else
        prompts().errorBox(owner, QStringLiteral("Broken"));
    QCOMPARE(shown.parent, &window);
}

void PromptsTest::openFileStartsInTheFolderAndTellsTheEntryChosen()
{
    QTemporaryDir dir;
    QWidget window;
    auto *button = new QPushButton(QStringLiteral("Start Exporting"), &window);
    window.show();
    const QString typed = dir.filePath(QStringLiteral("dictionary"));
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        QCOMPARE(dialog->parentWidget(), &window);
        QCOMPARE(dialog->directory().absolutePath(), QDir(dir.path()).absolutePath());
        QCOMPARE(dialog->nameFilters(),
                 (QStringList{QStringLiteral("Text Files (*.txt)"), QStringLiteral("SQLite Schema (*.sql)"),
                              QStringLiteral("PostgreSQL Schema (*.sql)")}));
        QCOMPARE(dialog->selectedNameFilter(), QStringLiteral("Text Files (*.txt)"));
        dialog->selectNameFilter(QStringLiteral("PostgreSQL Schema (*.sql)"));
        dialog->selectFile(typed);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    const FileChoice choice = prompts().openFile(
        button, QStringLiteral("Select The Text File"),
        QStringLiteral("Text Files (*.txt)|*.txt|SQLite Schema (*.sql)|*.sql|PostgreSQL Schema (*.sql)|*.sql"),
        dir.path());
    QCOMPARE(choice.path, typed);
    QCOMPARE(choice.filter, QStringLiteral("PostgreSQL Schema (*.sql)"));
}

QTEST_MAIN(PromptsTest)
#include "tst_prompts.moc"
