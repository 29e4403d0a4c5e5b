#include "shell/ElidedLabel.h"

#include <QFontMetrics>

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::setFullText(const QString& text)
{
    QString oneLine = text;
    oneLine.replace(QLatin1String("\r\n"), QLatin1String(" "));
    oneLine.replace(QLatin1Char('\n'), QLatin1Char(' '));
    oneLine.replace(QLatin1Char('\r'), QLatin1Char(' '));
    m_fullText = oneLine;
    setToolTip(text.size() > 80 ? text.left(2000) : QString());
    setAccessibleName(oneLine);
    refresh();
    updateGeometry();
}

QSize ElidedLabel::minimumSizeHint() const
{
    return {fontMetrics().averageCharWidth() * 4, fontMetrics().height()};
}

QSize ElidedLabel::sizeHint() const
{
    return {std::min(fontMetrics().horizontalAdvance(m_fullText), 800), fontMetrics().height()};
}

void ElidedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    refresh();
}

void ElidedLabel::refresh()
{
    const int width = std::max(0, contentsRect().width());
    QLabel::setText(fontMetrics().elidedText(m_fullText, Qt::ElideRight, width > 0 ? width : 800));
}
