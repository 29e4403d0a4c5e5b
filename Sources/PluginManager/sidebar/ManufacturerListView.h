#pragma once

#include <QListView>

#include <memory>

class ItemViewActions;

/// The manufacturer rows: a check mark at the leading edge that toggles the filter,
/// then the name with an arrow that opens the manufacturer's web site.
/// Keys: Space toggles the current row, Return opens its web site.
class ManufacturerListView final : public QListView {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ManufacturerListView)
public:
    static constexpr int kLeadingPadding = 10;
    static constexpr int kCheckWidth = 28;

    explicit ManufacturerListView(QWidget* parent = nullptr);
    ~ManufacturerListView() override;

    /// Where in a row the check button and the link lie (viewport coordinates).
    QRect checkRect(const QModelIndex& index) const;
    QRect linkRect(const QModelIndex& index) const;
    /// Fits the height to the rows, at most `maxHeight`.
    void fitHeight(int maxHeight);

Q_SIGNALS:
    void checkToggled(const QString& name);
    void linkActivated(const QString& name);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    std::unique_ptr<ItemViewActions> m_accessibleActions;
};
