#pragma once

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariantMap>

#include <cstddef>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

/// Every test runs in fresh temporary R, H and XDG folders: nothing touches real
/// system folders. Diagnostics are captured in printedLines().
class SandboxTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    QString root() const { return m_root; } // R
    QString home() const { return m_home; } // H
    QString dataDir() const;                // D
    /// R + absolute path.
    QString sys(const QString& absolutePath) const { return m_root + absolutePath; }
    /// H + absolute path.
    QString usr(const QString& absolutePath) const { return m_home + absolutePath; }

    /// The environment for one of our programs started by a test: this sandbox's R, H and
    /// XDG folders, and an update server that answers nothing.
    QProcessEnvironment programEnvironment() const;

    const QStringList& printedLines() const { return m_printed; }
    void clearPrintedLines() { m_printed.clear(); }

    // Small fixture builders.
    static void makeDir(const QString& path);
    static void writeFile(const QString& path, const QByteArray& bytes);
    static QByteArray readFile(const QString& path);
    /// A bundle folder with Contents/Info.plist (XML or binary) when `info` is not empty.
    static void makeBundle(const QString& path, const QVariantMap& info = {}, bool binaryPlist = false);

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_root;
    QString m_home;
    QStringList m_printed;
    QByteArray m_savedEnv[5];
};

/// Bytes of a literal that may hold NULs; the length comes from the array, so it cannot run past it.
template <std::size_t N>
QByteArray rawBytes(const char (&text)[N])
{
    return QByteArray(text, static_cast<qsizetype>(N - 1));
}

// Readable QString values in gtest messages.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
QT_END_NAMESPACE
