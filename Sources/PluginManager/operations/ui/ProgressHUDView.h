#pragma once

#include "operations/ProgressWindowManager.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <array>

/// The progress card: a wave of twelve bars, the title, "N of M plugins", a bar with
/// a gradient fill and a moving shine, and the percentage with three pulsing dots.
/// Painted by hand from one frame timer that runs only while the view is visible.
class ProgressHUDView final : public QWidget {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ProgressHUDView)
public:
    static constexpr int kWidth = 400;
    static constexpr int kHeight = 210;
    static constexpr int kBarCount = 12;
    static constexpr double kBarTrackWidth = 320.0;

    explicit ProgressHUDView(QWidget* parent = nullptr);

    /// Shows this model; a new model replays the entrance.
    void setModel(ProgressHUDModel* model);
    ProgressHUDModel* model() const { return m_model; }

    QSize sizeHint() const override { return {kWidth, kHeight}; }

    /// The painted width of the progress fill: bar width × progress, at least 10 points.
    static double fillWidth(double progress);
    /// The count line ("3 of 60 plugins"); empty for a count below 2.
    static QString countText(double progress, int count);
    /// The percentage ("42%").
    static QString percentText(double progress);

    /// What is painted now: the count line (empty below 2 plug-ins) and the fill's
    /// width, which eases towards the model's progress (within 0.25 s, never far behind).
    QString countLine() const;
    double shownFillWidth() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    struct BarMove {
        double from = 0.3;
        double to = 0.3;
        qint64 startMs = 0;
        qint64 durationMs = 1;
    };

    void restartEntrance();
    void stepWave();
    void onProgressChanged();
    double barHeight(int index, qint64 nowMs) const;
    double displayedProgress(qint64 nowMs) const;

    QPointer<ProgressHUDModel> m_model;
    QList<QMetaObject::Connection> m_modelConnections;

    QElapsedTimer m_clock;
    QTimer m_frameTimer;
    QTimer m_waveTimer;
    qint64 m_entranceStartMs = 0;
    double m_wavePhase = 0.0;
    std::array<BarMove, kBarCount> m_bars{};
    // The fill eases out from where it was to the new progress, ending by m_fillEndMs.
    double m_fillFrom = 0.0;
    double m_fillTo = 0.0;
    qint64 m_fillStartMs = 0;
    qint64 m_fillEndMs = 0;
    qint64 m_lastPaintMs = 0;
};
