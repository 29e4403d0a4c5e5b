#pragma once

#include <QColor>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QString>

/// Symbol images of the sidebar, recoloured to the theme colour a row asks for.
namespace SidebarIcons {
/// The symbol drawn in `color` at `size` device-independent pixels.
QPixmap tinted(const QString& symbolName, const QColor& color, int size);
QIcon tintedIcon(const QString& symbolName, const QColor& color, int size);
/// A fixed-width label showing the symbol centred (the frames of the row layouts).
QLabel* symbolLabel(const QString& symbolName, const QColor& color, int size, int frameWidth,
                    QWidget* parent = nullptr);
void setSymbol(QLabel* label, const QString& symbolName, const QColor& color, int size);
} // namespace SidebarIcons
