// Orvalle: documents the structure of FoxPro tables.

#include "form1.h"
#include "form2.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

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

    Form1 startWindow;
    Form2 tableWindow(startWindow, startWindow);
    startWindow.setTableStep(&tableWindow);
    startWindow.Form_Load();
    return application.exec();
}
