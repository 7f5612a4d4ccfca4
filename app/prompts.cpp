#include "app/prompts.h"

#include "app/core/apptitle.h"

#include <QApplication>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QStringList>

namespace app {

namespace {

// Qt's widgets treat a lone CR as nothing; the messages keep their exact
// characters, and only the shown text turns CR LF and CR into line breaks.
QString shownText(QString text)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// The window a box belongs to: the owner's own window, else the active one.
QWidget *ownerWindow(QWidget *owner)
{
    return owner ? owner->window() : QApplication::activeWindow();
}

class QtProgress final : public Progress {
public:
    QtProgress(QWidget *owner, const QString &title)
        : m_dialog(QString(), QStringLiteral("Cancel"), 0, 1000, ownerWindow(owner))
    {
        m_dialog.setWindowTitle(title);
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setMinimumDuration(0);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setValue(0);
    }

    bool update(const QString &text, int permille) override
    {
        m_dialog.setLabelText(text);
        m_dialog.setValue(qBound(0, permille, 1000));
        QCoreApplication::processEvents();
        return !m_dialog.wasCanceled();
    }

private:
    QProgressDialog m_dialog;
};

class QtPrompts final : public Prompts {
public:
    void message(QWidget *owner, const QString &text) override
    {
        QMessageBox box(QMessageBox::NoIcon, app::appTitle(), shownText(text), QMessageBox::Ok,
                        ownerWindow(owner));
        box.exec();
    }

    bool question(QWidget *owner, const QString &text) override
    {
        QMessageBox box(QMessageBox::NoIcon, app::appTitle(), shownText(text),
                        QMessageBox::Yes | QMessageBox::No, ownerWindow(owner));
        return box.exec() == QMessageBox::Yes;
    }

    void errorBox(QWidget *owner, const QString &text) override
    {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Application Error"), shownText(text),
                        QMessageBox::Ok, ownerWindow(owner));
        box.exec();
    }

    FileChoice openFile(QWidget *owner, const QString &title, const QString &filter,
                        const QString &startFolder) override
    {
        // A name that does not exist yet is accepted and nothing is appended to it;
        // the caller asks its own overwrite question. Desktop-native open dialogs
        // only pick existing files, so Qt's own dialog is used.
        QFileDialog dialog(ownerWindow(owner), title, startFolder, qtFileFilter(filter));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return {};
        return {dialog.selectedFiles().constFirst(), dialog.selectedNameFilter()};
    }

    QString browseFolder(QWidget *owner, const QString &prompt, const QString &startFolder) override
    {
        QFileDialog dialog(ownerWindow(owner), prompt, startFolder);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    }

    void showModal(QDialog *dialog) override { dialog->exec(); }

    std::unique_ptr<Progress> progress(QWidget *owner, const QString &title) override
    {
        return std::make_unique<QtProgress>(owner, title);
    }
};

Prompts *installed = nullptr;

} // namespace

Prompts &prompts()
{
    static QtPrompts qtPrompts;
    return installed ? *installed : qtPrompts;
}

void setPrompts(Prompts *replacement)
{
    installed = replacement;
}

QString qtFileFilter(const QString &barSeparatedFilter)
{
    const QStringList parts = barSeparatedFilter.split(QLatin1Char('|'));
    QStringList descriptions;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
        descriptions << parts.at(i);
    return descriptions.join(QStringLiteral(";;"));
}

} // namespace app
