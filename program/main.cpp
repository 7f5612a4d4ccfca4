// Orvalle: documents the structure of FoxPro tables.

#include "connection/startwindow.h"
#include "export/window/tablewindow.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

using namespace connection;
using namespace dictionary;
using namespace report;
using namespace window;

int main(int argc, char *argv[])
{
    // Answered before the application object exists, so it needs no display.
    if (argc > 1 && std::strcmp(argv[1], "--version") == 0) {
        std::fputs("orvalle " ORVALLE_VERSION "\n", stdout);
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    }

    QApplication application(argc, argv);
    // Closing either window ends the program; hiding one must not.
    application.setQuitOnLastWindowClosed(false);

    StartWindow startWindow;
    TableWindow tableWindow(startWindow, startWindow);
    startWindow.setTableStep(&tableWindow);
    startWindow.load();
    return application.exec();
}
