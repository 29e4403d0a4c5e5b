#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

/// The search field of the header. It edits one text and filters nothing itself: its
/// owner hands every edit to the view model (which reloads 50 ms later) and feeds the
/// view model's text back with setText().
class SearchBar final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SearchBar)
public:
    explicit SearchBar(QWidget* parent = nullptr);

    QString text() const;
    /// Shows the text (no textEdited); Clear follows it.
    void setText(const QString& text);

    QLineEdit* field() const { return m_field; }
    QPushButton* clearButton() const { return m_clear; }

Q_SIGNALS:
    /// Every keystroke, and Clear (with an empty text). Passed on exactly as typed.
    void textEdited(const QString& text);

private:
    void updateClear();

    QLabel* m_icon = nullptr;
    QLineEdit* m_field = nullptr;
    QPushButton* m_clear = nullptr;
};
