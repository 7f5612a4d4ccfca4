#pragma once

// The Advanced Options window: chooses a database container file.

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace app {
class WindowPointer;
}

namespace connection {

class StartWindow;

class AdvancedOptionsWindow : public QDialog {
    Q_OBJECT
public:
    AdvancedOptionsWindow(StartWindow &startWindow, QWidget *owner);

    app::WindowPointer *pointer() const { return m_pointer; }

public slots:
    void load();
    void onBrowseClicked(); // ... (browse for the file)
    void onOkClicked();     // OK
    void onCancelClicked(); // Cancel
    void onFileTextChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setFileBox(const QString &text);

    StartWindow &m_startWindow;
    app::WindowPointer *m_pointer;

    QGroupBox *m_fileFrame;
    QLabel *m_fileLabel;
    QLineEdit *m_fileBox;
    QPushButton *m_browseButton;
    QPushButton *m_okButton;
    QPushButton *m_cancelButton;
};

} // namespace connection
