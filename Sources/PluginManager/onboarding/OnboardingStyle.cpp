#include "onboarding/OnboardingStyle.h"

#include "widgets/AppTheme.h"
#include "widgets/Styles.h"
#include "widgets/SymbolIcons.h"
#include "widgets/Typography.h"

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPushButton>
#include <QRadialGradient>

#include <algorithm>

namespace OnboardingStyle {

void paintSymbol(QPainter& painter, const QString& symbol, const QPointF& centre, double size, const QColor& color)
{
    paintSymbolGradient(painter, symbol, centre, size, color, color);
}

void paintSymbolGradient(QPainter& painter, const QString& symbol, const QPointF& centre, double size,
                         const QColor& from, const QColor& to)
{
    const qreal ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const int side = std::max(1, static_cast<int>(size));
    // The glyph as a mask, then the gradient kept only where the glyph is.
    QImage image = SymbolIcons::pixmap(symbol, side, Qt::white, ratio)
                       .toImage()
                       .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    {
        QPainter tint(&image);
        tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
        const QSizeF logical = QSizeF(image.size()) / image.devicePixelRatio();
        QLinearGradient gradient(QPointF(0, 0), QPointF(logical.width(), logical.height()));
        gradient.setColorAt(0, from);
        gradient.setColorAt(1, to);
        tint.fillRect(QRectF(QPointF(0, 0), logical), gradient);
    }
    const QSizeF logical = QSizeF(image.size()) / image.devicePixelRatio();
    painter.drawImage(QRectF(centre - QPointF(logical.width() / 2, logical.height() / 2), logical), image);
}

double rowLength(qsizetype count, double item, double gap)
{
    if (count <= 0)
        return 0;
    const auto n = static_cast<double>(count);
    return n * item + (n - 1) * gap;
}

void paintRoundedBox(QPainter& painter, const QRectF& rect, double radius, const QColor& fill, const QColor& stroke,
                     double strokeWidth)
{
    painter.save();
    const double inset = strokeWidth / 2.0;
    painter.setPen(stroke.alpha() > 0 && strokeWidth > 0 ? QPen(stroke, strokeWidth) : QPen(Qt::NoPen));
    painter.setBrush(fill);
    painter.drawRoundedRect(rect.adjusted(inset, inset, -inset, -inset), radius, radius);
    painter.restore();
}

void paintGlow(QPainter& painter, const QRectF& rect, double blur, const QColor& color)
{
    if (rect.isEmpty() || color.alpha() == 0)
        return;
    painter.save();
    const QRectF outer = rect.adjusted(-blur, -blur, blur, blur);
    painter.translate(outer.center());
    painter.scale(outer.width() / 2.0, outer.height() / 2.0);
    // Full strength up to where the shape's edge was, then gone over the blur radius.
    const double edge = 1.0 - blur / (std::min(outer.width(), outer.height()) / 2.0);
    QRadialGradient gradient(QPointF(0, 0), 1.0);
    QColor clear = color;
    clear.setAlpha(0);
    gradient.setColorAt(0, color);
    gradient.setColorAt(std::clamp(edge * 0.6, 0.0, 1.0), color);
    gradient.setColorAt(1, clear);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawEllipse(QPointF(0, 0), 1.0, 1.0);
    painter.restore();
}

void paintText(QPainter& painter, const QRectF& rect, const QString& text, const QFont& font, const QColor& color,
               Qt::Alignment alignment, const QColor& ground)
{
    painter.save();
    painter.setFont(font);
    painter.setPen(AppTheme::legible(color, ground.isValid() ? ground : AppTheme::readingBackground()));
    const QString elided = QFontMetricsF(font).elidedText(text, Qt::ElideRight, rect.width());
    painter.drawText(rect, static_cast<int>(alignment), elided);
    painter.restore();
}

void paintNameAndFormat(QPainter& painter, const QRectF& rect, const QString& name, const QString& format,
                        const QColor& nameColor, const QColor& ground)
{
    const QRectF top(rect.left(), rect.top(), rect.width(), rect.height() / 2);
    paintText(painter, top, name, Typography::withWeight(Typography::onboardingCaption(), QFont::Medium), nameColor,
              Qt::AlignLeft | Qt::AlignBottom, ground);
    paintText(painter, top.translated(0, top.height() + 1), format, Typography::onboardingCaption2(),
              AppTheme::textTertiary(), Qt::AlignLeft | Qt::AlignTop, ground);
}

void stylePillButton(QPushButton* button, int horizontalPadding, int verticalPadding, int radius)
{
    button->setCursor(Qt::PointingHandCursor);
    button->setStyleSheet(Styles::pillButton(AppTheme::accentPurple(), horizontalPadding, verticalPadding, radius));
}

void stylePlainButton(QPushButton* button)
{
    button->setCursor(Qt::PointingHandCursor);
    button->setFlat(true);
    button->setStyleSheet(Styles::plainButton());
}

} // namespace OnboardingStyle
