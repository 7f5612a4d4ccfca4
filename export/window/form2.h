#pragma once

// The table window: lists the tables of the source, selects them and exports
// their structure.

#include "connectionstate.h"
#include "structurereport.h"

#include <QWidget>

class QGroupBox;
class QListWidget;
class QPushButton;

namespace Main {
class WindowPointer;
}

class Form2 : public QWidget, public TableStep {
    Q_OBJECT
public:
    // `startWindow` is the start window, whose connection state the table
    // window reads; `source` is that same window's state.
    Form2(QWidget &startWindow, const ConnectionState &source);

    void showTableWindow() override;

    // Writes the report of the selected tables to `reportPath`; true when it was written.
    bool generateStructure(const QString &reportPath);

    Main::WindowPointer *pointer() const { return m_pointer; }
    bool exporting() const { return m_exporting; }

    QPushButton *PushButton2;
    QGroupBox *Frame1;
    QListWidget *List1;
    QPushButton *PushButton8;
    QPushButton *PushButton9;
    QPushButton *PushButton5;

public slots:
    void Form_Load() override;
    void PushButton2_Click(); // < Back
    void PushButton5_Click(); // Start Exporting
    void PushButton8_Click(); // Select All
    void PushButton9_Click(); // Deselect All

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // While it lives, the window's commands, its list and its closing wait.
    class ExportLock {
    public:
        explicit ExportLock(Form2 &window);
        ~ExportLock();
        ExportLock(const ExportLock &) = delete;
        ExportLock &operator=(const ExportLock &) = delete;

    private:
        Form2 &m_window;
    };

    void setCommandsEnabled(bool enabled);
    ReportSource currentSource() const;

    QWidget &m_startWindow;
    const ConnectionState &m_source;
    Main::WindowPointer *m_pointer;
    bool m_loaded = false;
    bool m_exporting = false;
};

namespace Foxpro1 {
// Fills `list` with the tables of the current source. At the first failure it
// shows "number description" and stops, keeping what the list held.
void AddTablesToFoxproListbox(QListWidget *list, const ConnectionState &source);
} // namespace Foxpro1
