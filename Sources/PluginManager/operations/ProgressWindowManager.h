#pragma once

#include "Platform/InstalledInstance.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

/// The three values the progress panel shows.
class ProgressHUDModel final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProgressHUDModel)
    Q_PROPERTY(QString label READ label WRITE setLabel NOTIFY labelChanged)
    Q_PROPERTY(int count READ count WRITE setCount NOTIFY countChanged)
    Q_PROPERTY(double progress READ progress WRITE setProgress NOTIFY progressChanged)
public:
    explicit ProgressHUDModel(QObject* parent = nullptr) : QObject(parent) {}

    const QString& label() const { return m_label; }
    void setLabel(const QString& label);
    /// Number of plug-ins in the batch.
    int count() const { return m_count; }
    void setCount(int count);
    /// Fraction done, 0.0 to 1.0.
    double progress() const { return m_progress; }
    void setProgress(double progress);

Q_SIGNALS:
    void labelChanged();
    void countChanged();
    void progressChanged();

private:
    QString m_label;
    int m_count = 0;
    double m_progress = 0.0;
};

/// The progress panel, as state: the widget that draws it follows these signals (this layer
/// has no widgets). The program's start-up builds one and hands it to the operations and the
/// panel. show() starts a run with a fresh model; hide() fills the bar and closes the panel
/// 0.45 s later, unless a new show() came first.
class ProgressWindowManager final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProgressWindowManager)
public:
    static constexpr int kCloseDelayMs = 450;

    explicit ProgressWindowManager(QObject* parent = nullptr);

    /// The process-wide manager: the one the program's start-up installed, else one made on
    /// first use. Below the start-up the manager is handed down.
    static ProgressWindowManager& shared();
    /// The start-up installs the manager it built; clearShared() with that one uninstalls it.
    static void setShared(ProgressWindowManager* manager)
    {
        InstalledInstance<ProgressWindowManager>::install(manager);
    }
    static void clearShared(const ProgressWindowManager* manager)
    {
        InstalledInstance<ProgressWindowManager>::uninstall(manager);
    }

    ProgressHUDModel* hudModel() const { return m_hudModel; }
    void show(const QString& label, int count);
    void hide();

    /// True from a show() until its panel is ordered out.
    bool isPanelVisible() const { return m_visible; }
    /// True once a panel was first shown (it is then kept for the life of the process).
    bool hasPanel() const { return m_hasPanel; }
    /// True between a hide() and the end of its closing delay.
    bool isClosePending() const { return m_closeTimer.isActive(); }

Q_SIGNALS:
    /// A new run: the panel shows this model (emitted by show() before panelShown()).
    void hudModelChanged(ProgressHUDModel* model);
    /// Bring the panel to the front, centred over the active window.
    void panelShown();
    /// Order the panel out (0.45 s after hide()).
    void panelClosed();

private:
    void closePanel();

    QPointer<ProgressHUDModel> m_hudModel;
    QTimer m_closeTimer;
    bool m_visible = false;
    bool m_hasPanel = false;
};
