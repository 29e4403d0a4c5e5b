#pragma once

#include <QObject>
#include <QString>

#include <functional>

/// The key sequence that opens the UAD clean-up. Reset arms it for a while; while
/// armed, an application-wide filter records the letters and digits typed into any
/// window of the program, and when the last eight spell the sequence the last key is
/// swallowed and `onMatch` runs.
class HiddenKeySequence final : public QObject {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HiddenKeySequence)
public:
    static constexpr auto kSequence = "qxmvbzjr";
    static constexpr int kDefaultArmingWindowMs = 10000;

    explicit HiddenKeySequence(std::function<void()> onMatch, QObject* parent = nullptr);
    ~HiddenKeySequence() override;

    /// Empties the buffer and arms; every arming starts its own timer, none is cancelled.
    void arm();
    void disarm();

    bool isArmed() const { return m_armed; }
    const QString& buffer() const { return m_buffer; }
    bool isMonitorInstalled() const { return m_monitorInstalled; }
    int armingWindowMs() const { return m_armingWindowMs; }
    /// Tests shorten the window.
    void setArmingWindowMs(int ms) { m_armingWindowMs = ms; }

    /// The key handler: true when the key is swallowed.
    bool handleKeyText(const QString& text);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct KeySignature {
        int key = 0;
        Qt::KeyboardModifiers modifiers;
        QString text;
        bool operator==(const KeySignature&) const = default;
    };

    std::function<void()> m_onMatch;
    KeySignature m_lastSpontaneous;
    bool m_echoExpected = false;
    bool m_armed = false;
    QString m_buffer;
    bool m_monitorInstalled = false;
    int m_armingWindowMs = kDefaultArmingWindowMs;
};
