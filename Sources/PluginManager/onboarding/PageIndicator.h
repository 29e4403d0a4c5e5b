#pragma once

#include <QList>
#include <QWidget>

class Tween;

/// The row of page dots: the current page's dot is a wide purple capsule, the others
/// small grey ones; the change springs from one to the next.
class PageIndicator final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PageIndicator)
public:
    PageIndicator(int count, int current, QWidget* parent = nullptr);

    int count() const { return static_cast<int>(m_widths.size()); }
    int current() const { return m_current; }
    void setCurrent(int index);
    /// The width dot `index` is heading for (18 for the current page, else 6).
    double dotWidth(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateAccessibleName();

    QList<Tween*> m_widths;
    int m_current;
};
