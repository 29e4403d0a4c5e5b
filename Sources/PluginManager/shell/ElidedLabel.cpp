#include "shell/ElidedLabel.h"

#include <QFontMetrics>

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
}

void ElidedLabel::setFullText(const QString& text, const QString& keptSuffix)
{
    m_keptSuffix = keptSuffix;
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
    const QFontMetrics metrics = fontMetrics();
    const int width = std::max(0, contentsRect().width());
    const int room = width > 0 ? width : 800;
    if (!m_keptSuffix.isEmpty() && m_fullText.endsWith(m_keptSuffix) && metrics.horizontalAdvance(m_fullText) > room) {
        const QString head = m_fullText.chopped(m_keptSuffix.size());
        const QString shortened =
            metrics.elidedText(head, Qt::ElideRight, std::max(0, room - metrics.horizontalAdvance(m_keptSuffix)));
        QLabel::setText(shortened.isEmpty() ? m_keptSuffix.trimmed() : shortened + m_keptSuffix);
        return;
    }
    QLabel::setText(metrics.elidedText(m_fullText, Qt::ElideRight, room));
}
