#pragma once

// What the start window tells the connection routines and the table window.

#include <QString>

namespace connection {

// What the connection routines read of the start window: the mode, the
// container file and the folder box's text as typed.
class ConnectionState {
public:
    virtual ~ConnectionState() = default;
    virtual bool containerMode() const = 0;   // OptionDBC1
    virtual QString containerPath() const = 0; // DBCPath1
    virtual QString folderText() const = 0;    // the folder box Text2
};

// The table window as the start window sees it.
class TableStep {
public:
    virtual ~TableStep() = default;
    // Shows the table window, loading it first when it was never loaded.
    virtual void showTableWindow() = 0;
    virtual void load() = 0;
};

} // namespace connection
