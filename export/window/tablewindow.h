#pragma once

// The table window: lists the tables of the source, selects them and exports
// their structure.

#include "connection/connectionstate.h"
#include "export/dictionary/dictionary.h"
#include "export/report/structurereport.h"

#include <QWidget>

class QGroupBox;
class QListWidget;
class QPushButton;

namespace app {
class WindowPointer;
}

namespace window {

class TableWindow : public QWidget, public connection::TableStep {
    Q_OBJECT
public:
    // `startWindow` is the start window, whose connection state the table
    // window reads; `source` is that same window's state.
    TableWindow(QWidget &startWindow, const connection::ConnectionState &source);

    void showTableWindow() override;

    // Writes the report of the selected tables to `reportPath`; true when it was written.
    bool writeReport(const QString &reportPath);
    // Writes the data dictionary of the selected tables in `format` to
    // `reportPath`, whole or not at all; true when it was written.
    bool writeDictionaryFile(dictionary::DictionaryFormat format, const QString &reportPath);
    // Loads the selected tables and every record into a new SQLite database
    // at `path`, replacing a file there only when `replace`; true when it was
    // loaded whole.
    bool writeDatabase(const QString &path, bool replace);

    app::WindowPointer *pointer() const { return m_pointer; }
    bool isExporting() const { return m_exporting; }

public slots:
    void load() override;
    void onBackClicked();        // < Back
    void onExportClicked();      // Start Exporting
    void onSelectAllClicked();   // Select All
    void onDeselectAllClicked(); // Deselect All

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    // While it lives, the window's commands, its list and its closing wait.
    class ExportLock {
    public:
        explicit ExportLock(TableWindow &window);
        ~ExportLock();
        ExportLock(const ExportLock &) = delete;
        ExportLock &operator=(const ExportLock &) = delete;

    private:
        TableWindow &m_window;
    };

    void setCommandsEnabled(bool enabled);
    report::ReportSource currentSource() const;
    // Where the report file dialog opens: where a report was last written in
    // this session, else the source's folder.
    QString reportFolder() const;

    QWidget &m_startWindow;
    const connection::ConnectionState &m_source;
    app::WindowPointer *m_pointer;
    bool m_loaded = false;
    bool m_exporting = false;
    QString m_lastReportFolder;

    QPushButton *m_backButton;
    QGroupBox *m_tableFrame;
    QListWidget *m_tableList;
    QPushButton *m_selectAllButton;
    QPushButton *m_deselectAllButton;
    QPushButton *m_exportButton;
};

// Fills `list` with the tables of the current source. At the first failure it
// shows "number description" and stops, keeping what the list held.
void fillTableList(QListWidget *list, const connection::ConnectionState &source);
} // namespace window
