#pragma once

// Whether a UTF-8 page holds a character no reader should meet in it.

#include <QByteArray>
#include <QString>

// The first C0 or C1 control character (tab and line ends aside), DEL, or
// undecodable byte of `utf8`, described with its position; empty when none.
QString firstControlCharacter(const QByteArray &utf8);
