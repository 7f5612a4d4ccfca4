#pragma once

// The folder beside the program, where its optional files lie, and the
// program's end.

#include <QString>

namespace app {

// The folder of the executable, without a trailing separator; tests point it
// at a temporary folder holding the files they need beside the program.
QString programFolder();
void setProgramFolder(const QString &folder);

// A file or folder beside the program: "HAND-M.CUR", "x/o.cjs", "Samples".
QString besideProgram(const QString &relativePath);

// Ends the program at once; tests install a handler that records the call.
void endProgram();
void setProgramEndHandler(void (*handler)());

} // namespace app
