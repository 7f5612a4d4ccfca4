#pragma once

// The start window: the data source is chosen here.

#include "connection/connectionstate.h"

#include <QWidget>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace app {
class WindowPointer;
}

namespace connection {

class StartWindow : public QWidget, public ConnectionState {
    Q_OBJECT
public:
    explicit StartWindow(QWidget *parent = nullptr);

    // The table window this window moves on to.
    void setTableStep(TableStep *step) { m_tableStep = step; }

    // The connection state: folder mode with the folder box's text, or
    // container mode with the container file.
    bool containerMode() const override { return m_containerMode; }
    QString containerPath() const override { return m_containerPath; }
    QString folderText() const override;
    void setContainerMode(bool on) { m_containerMode = on; }
    void setContainerPath(const QString &path) { m_containerPath = path; }

    app::WindowPointer *pointer() const { return m_pointer; }

public slots:
    // The start-up sequence.
    void load();
    void onSampleClicked();    // Load Sample/Example Database
    void onNextClicked();      // Next >
    void onBrowseClicked();    // ... (browse for the folder)
    void onTestClicked();      // Test Connection
    void onHelpClicked();      // Help
    void onContainerClicked(); // dbc (Advanced Options)
    void onFolderTextChanged();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TableStep &tableStep() const;

    bool m_containerMode = false;
    QString m_containerPath;
    TableStep *m_tableStep = nullptr;
    app::WindowPointer *m_pointer;

    QPushButton *m_helpButton;
    QGroupBox *m_folderFrame;
    QLabel *m_folderLabel;
    QLineEdit *m_folderBox;
    QPushButton *m_browseButton;
    QPushButton *m_sampleButton;
    QPushButton *m_testButton;
    QPushButton *m_containerButton;
    QPushButton *m_nextButton;
};

} // namespace connection
