#pragma once

#include "catalogue/ActivityLogManager.h"

#include <QWidget>

class QLabel;

/// One activity entry: action symbol, plug-in name over its format, action text over
/// the entry's age.
class ActivityLogRow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ActivityLogRow)
public:
    ActivityLogRow(const ActivityLogEntry& entry, const QDateTime& now, QWidget* parent = nullptr);

    const ActivityLogEntry& entry() const { return m_entry; }
    QString nameText() const;
    QString formatText() const;
    QString actionText() const;
    QString timeText() const;
    QString symbolName() const;

    static QString symbolFor(ActivityLogEntry::Action action);
    static QColor colorFor(ActivityLogEntry::Action action);

protected:
    /// Ringed while the keyboard is on it.
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    ActivityLogEntry m_entry;
    QLabel* m_symbol = nullptr;
    QLabel* m_name = nullptr;
    QLabel* m_format = nullptr;
    QLabel* m_action = nullptr;
    QLabel* m_time = nullptr;
};
