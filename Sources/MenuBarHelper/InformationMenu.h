#pragma once

#include <QMenu>

/// A menu whose information lines (the count, "Last checked", new plug-in names) stay what
/// they are, disabled items that are never chosen or highlighted, yet read as text: they are
/// drawn in a legible shade instead of the style's faint disabled colour.
class InformationMenu final : public QMenu {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(InformationMenu)
public:
    /// The action property that marks an information line.
    static constexpr auto kLineProperty = "informationLine";

    explicit InformationMenu(const QString& title = {}, QWidget* parent = nullptr);
    /// Marks `action` as an information line: disabled, drawn legibly.
    static void makeInformationLine(QAction* action);

protected:
    void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override;
};
