#include "shell/HiddenKeySequence.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWindow>

HiddenKeySequence::HiddenKeySequence(std::function<void()> onMatch, QObject* parent)
    : QObject(parent), m_onMatch(std::move(onMatch))
{
}

HiddenKeySequence::~HiddenKeySequence()
{
    if (m_monitorInstalled && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void HiddenKeySequence::arm()
{
    m_buffer.clear();
    m_armed = true;
    QTimer::singleShot(m_armingWindowMs, this, [this] {
        if (m_armed)
            disarm();
    });
    if (m_monitorInstalled || !QCoreApplication::instance())
        return;
    QCoreApplication::instance()->installEventFilter(this);
    m_monitorInstalled = true;
}

void HiddenKeySequence::disarm()
{
    m_armed = false;
    m_buffer.clear();
    if (m_monitorInstalled) {
        QCoreApplication::instance()->removeEventFilter(this);
        m_monitorInstalled = false;
    }
}

bool HiddenKeySequence::handleKeyText(const QString& text)
{
    if (!m_armed || text.isEmpty())
        return false;
    const QList<uint> characters = text.toLower().toUcs4();
    if (characters.size() != 1)
        return false;
    const char32_t c = characters.first();
    if (!QChar::isLetterOrNumber(c))
        return false;
    m_buffer += QString::fromUcs4(&c, 1);
    const QString sequence = QString::fromLatin1(kSequence);
    if (m_buffer.size() > sequence.size())
        m_buffer = m_buffer.right(sequence.size());
    if (m_buffer != sequence)
        return false;
    disarm();
    if (m_onMatch)
        m_onMatch();
    return true;
}

bool HiddenKeySequence::eventFilter(QObject* watched, QEvent* event)
{
    // A key press reaches its window first and is then handed to the focused widget
    // (and up its parents); looking at the window's copy sees every key once.
    if (event->type() != QEvent::KeyPress || !qobject_cast<QWindow*>(watched))
        return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    const KeySignature signature{key->key(), key->modifiers(), key->text()};
    // An assistive bridge holds the window's key back and delivers a copy of it again once its
    // client has let it pass; that copy is the same key press, not a second one.
    if (!event->spontaneous() && m_echoExpected && signature == m_lastSpontaneous) {
        m_echoExpected = false;
        return false;
    }
    m_echoExpected = event->spontaneous();
    if (m_echoExpected)
        m_lastSpontaneous = signature;
    return handleKeyText(key->text());
}
