#pragma once

#include <QAbstractButton>

class QHBoxLayout;

/// A flat button whose label is a row of child widgets (symbol, texts, spacer, count).
/// It paints only hover, press and focus feedback; the surface behind it is the
/// caller's (a glass wrapper or a row background).
class RowButton final : public QAbstractButton {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RowButton)
public:
    explicit RowButton(const QString& accessibleName, QWidget* parent = nullptr);
    QHBoxLayout* row() const { return m_row; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QHBoxLayout* m_row = nullptr;
    bool m_hovered = false;
};
