#pragma once

// The start window: the data source is chosen here.

#include "connectionstate.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace Main {
class WindowPointer;
}

class Form1 : public QWidget, public ConnectionState {
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);

    // The table window this window moves on to.
    void setTableStep(TableStep *step) { m_tableStep = step; }

    // The connection state.
    bool OptionDBC1 = false;
    QString DBCPath1;

    bool containerMode() const override { return OptionDBC1; }
    QString containerPath() const override { return DBCPath1; }
    QString folderText() const override;

    Main::WindowPointer *pointer() const { return m_pointer; }

    QPushButton *PushButton10;
    QGroupBox *Frame1;
    QLabel *Label1;
    QLineEdit *Text2;
    QPushButton *PushButton7;
    QPushButton *PushButton1;
    QPushButton *PushButton8;
    QPushButton *PushButton12;
    QPushButton *PushButton3;

public slots:
    // The start-up sequence.
    void Form_Load();
    void PushButton1_Click();  // Load Sample/Example Database
    void PushButton3_Click();  // Next >
    void PushButton7_Click();  // ... (browse for the folder)
    void PushButton8_Click();  // Test Connection
    void PushButton10_Click(); // Help
    void PushButton12_Click(); // dbc (Advanced Options)
    void Text2_Change();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TableStep &tableStep() const;

    TableStep *m_tableStep = nullptr;
    Main::WindowPointer *m_pointer;
};
