#pragma once

#include "catalogue/PluginProfile.h"

#include <QWidget>

class QLabel;
class QToolButton;
class RowButton;
class ThemedLabel;

/// One saved profile: a preview button (symbol, name, pending changes) and the apply,
/// update, export and delete buttons. The previewed row is drawn in the brand gradient.
class ProfileRow final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProfileRow)
public:
    static constexpr int kIconSize = 16;
    static constexpr int kButtonSize = 22;
    static constexpr int kButtonSpacing = 2;
    static constexpr int kMinimumTextWidth = 40;
    static constexpr int kButtonsWidth = 4 * kButtonSize + 3 * kButtonSpacing;

    explicit ProfileRow(const PluginProfile& profile, QWidget* parent = nullptr);

    const PluginProfile& profile() const { return m_profile; }
    void setProfile(const PluginProfile& profile);
    void setPreviewed(bool previewed);
    bool isPreviewed() const { return m_previewed; }
    void setChangeCount(qint64 changes);
    /// Apply and update start operations: off while one runs.
    void setOperationsEnabled(bool enabled);

    QString nameText() const;
    QString summaryText() const;
    /// The change summary as drawn at the row's width (elided only when it cannot fit).
    QString shownSummaryText() const;
    RowButton* previewButton() const { return m_preview; }
    QToolButton* applyButton() const { return m_apply; }
    QToolButton* updateButton() const { return m_update; }
    QToolButton* exportButton() const { return m_export; }
    QToolButton* deleteButton() const { return m_delete; }

Q_SIGNALS:
    void previewRequested(const PluginProfile& profile);
    void applyRequested(const PluginProfile& profile);
    void updateRequested(const PluginProfile& profile);
    void exportRequested(const PluginProfile& profile);
    void deleteRequested(const PluginProfile& profile);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QToolButton* makeIconButton(const QString& helpText);
    void restyle();

    PluginProfile m_profile;
    bool m_previewed = false;
    qint64 m_changes = 0;
    RowButton* m_preview = nullptr;
    QLabel* m_symbol = nullptr;
    ThemedLabel* m_name = nullptr;
    ThemedLabel* m_summary = nullptr;
    QToolButton* m_apply = nullptr;
    QToolButton* m_update = nullptr;
    QToolButton* m_export = nullptr;
    QToolButton* m_delete = nullptr;
};
