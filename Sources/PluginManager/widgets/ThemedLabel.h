#pragma once

#include <QColor>
#include <QLabel>

#include <functional>

/// A label whose text colour comes from a theme function and follows palette
/// changes (light and dark appearance), optionally at a reduced opacity.
class ThemedLabel final : public QLabel {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ThemedLabel)
public:
    using ColorSource = std::function<QColor()>;

    ThemedLabel(const QString& text, const QFont& font, ColorSource color, QWidget* parent = nullptr);

    void setColorSource(ColorSource color, qreal opacity = 1.0);
    /// The colour the text is drawn in now.
    QColor textColor() const;
    /// Draws the text on one line, cut with an ellipsis where it does not fit;
    /// text() keeps the whole text.
    void setElideMode(Qt::TextElideMode mode);
    /// The text as drawn at the current width.
    QString shownText() const;

protected:
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void applyColor();

    ColorSource m_color;
    qreal m_opacity = 1.0;
    bool m_applying = false;
    Qt::TextElideMode m_elide = Qt::ElideNone;
};
