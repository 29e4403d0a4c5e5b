#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QString>

/// The symbol names the views use ("magnifyingglass", "xmark.circle.fill", ...) mapped to
/// freedesktop theme icons, with a monochrome glyph of our own (an SVG resource, coloured
/// on use) when the theme has none, so no symbol ever renders blank.
namespace SymbolIcons {
/// The theme icon for the symbol when the current theme has it, else our glyph
/// (in the palette's text colour).
QIcon icon(const QString& symbolName);
/// Our glyph in one colour, for tinted labels and delegates.
QIcon tinted(const QString& symbolName, const QColor& color);
QPixmap pixmap(const QString& symbolName, int size, const QColor& color, qreal devicePixelRatio = 1.0);
/// The freedesktop icon name the symbol maps to; empty for an unknown symbol.
QString themeName(const QString& symbolName);
/// True when there is a glyph of our own for the symbol (not just the letter fallback).
bool hasGlyph(const QString& symbolName);
} // namespace SymbolIcons
