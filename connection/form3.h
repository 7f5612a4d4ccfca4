#pragma once

// The Advanced Options window: chooses a database container file.

#include <QDialog>

class Form1;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Main {
class WindowPointer;
}

class Form3 : public QDialog {
    Q_OBJECT
public:
    Form3(Form1 &startWindow, QWidget *owner);

    Main::WindowPointer *pointer() const { return m_pointer; }

    QGroupBox *Frame2;
    QLabel *Label1;
    QLineEdit *Text1;
    QPushButton *PushButton5;
    QPushButton *PushButton1;
    QPushButton *PushButton2;

public slots:
    void Form_Load();
    void PushButton5_Click(); // ... (browse for the file)
    void PushButton1_Click(); // OK
    void PushButton2_Click(); // Cancel
    void Text1_Change();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setFileBox(const QString &text);

    Form1 &m_startWindow;
    Main::WindowPointer *m_pointer;
};
