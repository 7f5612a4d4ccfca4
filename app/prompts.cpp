#include "prompts.h"

#include "apptitle.h"

#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
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

class QtPrompts final : public Prompts {
public:
    void message(const QString &text) override
    {
        QMessageBox box(QMessageBox::NoIcon, app::appTitle(), shownText(text), QMessageBox::Ok);
        box.exec();
    }

    bool question(const QString &text) override
    {
        QMessageBox box(QMessageBox::NoIcon, app::appTitle(), shownText(text),
                        QMessageBox::Yes | QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }

    void errorBox(const QString &text) override
    {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Application Error"), shownText(text),
                        QMessageBox::Ok);
        box.exec();
    }

    QString openFile(QWidget *owner, const QString &title, const QString &filter) override
    {
        // A name that does not exist yet is accepted and nothing is appended to it;
        // the caller asks its own overwrite question. Desktop-native open dialogs
        // only pick existing files, so Qt's own dialog is used.
        QFileDialog dialog(owner, title, QString(), qtFileFilter(filter));
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    }

    QString browseFolder(QWidget *owner, const QString &prompt, const QString &startFolder) override
    {
        QFileDialog dialog(owner, prompt, startFolder);
        dialog.setFileMode(QFileDialog::Directory);
        dialog.setOption(QFileDialog::ShowDirsOnly);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        return dialog.selectedFiles().constFirst();
    }

    void showModal(QDialog *dialog) override { dialog->exec(); }
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
