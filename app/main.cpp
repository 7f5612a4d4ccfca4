// Orvalle: documents the structure of FoxPro tables.

#include "form1.h"
#include "form2.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication application(argc, argv);
    // Closing either window ends the program; hiding one must not.
    application.setQuitOnLastWindowClosed(false);

    Form1 startWindow;
    Form2 tableWindow(startWindow, startWindow);
    startWindow.setTableStep(&tableWindow);
    startWindow.Form_Load();
    return application.exec();
}
