#pragma once

// Graphviz's own library, in this process: a diagram's source laid out by
// its dot layout and written as SVG. Only its dot layout and its SVG writer
// are loaded, from the plugins Graphviz installs, so the layout measures text
// by Graphviz's own font metrics and reads no font: the same source draws the
// same picture on every machine.

#include <QByteArray>

namespace dictionary {

// The SVG document of a Graphviz source. Throws Failure when Graphviz cannot
// be loaded or refuses the source.
QByteArray graphvizSvg(const QByteArray &dot);

// The same without its XML declaration, doctype and comments before <svg>,
// to stand inside an HTML page.
QByteArray inlineSvg(const QByteArray &svg);

} // namespace dictionary
