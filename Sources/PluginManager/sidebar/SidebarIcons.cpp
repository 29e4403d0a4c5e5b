#include "sidebar/SidebarIcons.h"

#include "widgets/SymbolIcons.h"

#include <QGuiApplication>

namespace SidebarIcons {

QPixmap tinted(const QString& symbolName, const QColor& color, int size)
{
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    // The painted glyph in one colour: theme icons may be multi-coloured.
    return SymbolIcons::pixmap(symbolName, size, color, ratio);
}

QIcon tintedIcon(const QString& symbolName, const QColor& color, int size)
{
    return QIcon(tinted(symbolName, color, size));
}

QLabel* symbolLabel(const QString& symbolName, const QColor& color, int size, int frameWidth, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setFixedWidth(frameWidth);
    label->setAlignment(Qt::AlignCenter);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    setSymbol(label, symbolName, color, size);
    return label;
}

void setSymbol(QLabel* label, const QString& symbolName, const QColor& color, int size)
{
    label->setPixmap(tinted(symbolName, color, size));
    label->setProperty("symbolName", symbolName);
}

} // namespace SidebarIcons
