#pragma once

#include <QLabel>

/// A one-line label that shortens its text with an ellipsis instead of growing the
/// window; line breaks in the text become blanks.
class ElidedLabel final : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);
    /// `keptSuffix`, when the text ends with it, stays whole: what comes before it is shortened.
    void setFullText(const QString& text, const QString& keptSuffix = {});
    const QString& fullText() const { return m_fullText; }
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void refresh();
    QString m_fullText;
    QString m_keptSuffix;
};
