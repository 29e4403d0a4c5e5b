#pragma once

#include <QColor>
#include <QMargins>
#include <QWidget>

#include <functional>

class QHBoxLayout;
class RevealSlot;
class SectionHeaderButton;

/// A sidebar section that folds: a header row (chevron and title, and whatever the
/// section adds beside them) over a body that shows only while the section is open.
/// Sections fill body() with their own layout. The body unfolds and folds over 0.2 s
/// (ease-in-out) while the body itself is shown or hidden at once.
class FoldingSection : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FoldingSection)
public:
    static constexpr int kFoldMs = 200;

    bool isExpanded() const { return m_expanded; }
    void setExpanded(bool expanded);
    SectionHeaderButton* header() const { return m_header; }
    /// Where the body opens and closes.
    RevealSlot* bodySlot() const { return m_bodySlot; }

Q_SIGNALS:
    void expandedChanged(bool expanded);

protected:
    /// `spacing` separates the header row from the body; the section starts folded.
    FoldingSection(const QString& objectName, const QString& title, std::function<QColor()> chevronColor,
                   const QMargins& headerMargins, int spacing, QWidget* parent);

    QHBoxLayout* headerRow() const { return m_headerRow; }
    QWidget* body() const { return m_body; }
    /// Runs on every fold change: before the body is shown, after it is hidden.
    virtual void foldChanging(bool expanded);

private:
    SectionHeaderButton* m_header = nullptr;
    QHBoxLayout* m_headerRow = nullptr;
    QWidget* m_body = nullptr;
    RevealSlot* m_bodySlot = nullptr;
    bool m_expanded = false;
};
