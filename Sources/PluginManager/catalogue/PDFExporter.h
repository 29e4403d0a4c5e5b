#pragma once

#include "catalogue/PluginModels.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

class SavePanel;
class Workspace;

enum class ExportFormat { pdf, csv };
enum class ExportSortOption { name, manufacturer, format, status, version, lastUsed };

namespace ExportFormats {
inline constexpr std::array<ExportFormat, 2> allCases{ExportFormat::pdf, ExportFormat::csv};
QString rawValue(ExportFormat format); // "PDF", "CSV"
std::optional<ExportFormat> fromRawValue(const QString& text);
} // namespace ExportFormats

namespace ExportSortOptions {
inline constexpr std::array<ExportSortOption, 6> allCases{ExportSortOption::name,    ExportSortOption::manufacturer,
                                                          ExportSortOption::format,  ExportSortOption::status,
                                                          ExportSortOption::version, ExportSortOption::lastUsed};
QString rawValue(ExportSortOption option); // "Name" ... "Last Used(Est.)"
std::optional<ExportSortOption> fromRawValue(const QString& text);
} // namespace ExportSortOptions

/// Saves the catalogue as a PDF table or a CSV file.
class PDFExporter final {
public:
    struct Column {
        QString title;
        std::function<QString(const AudioPlugin&)> cellText;
    };

    /// What an export did: cancelled, written (and opened), or failed with a reason.
    struct Outcome {
        enum class Kind { cancelled, written, failed };
        Kind kind = Kind::cancelled;
        QString path;
        QString error;
    };

    /// Asks for a destination, writes atomically, and opens the file only after the
    /// write succeeded. A failure prints its reason and opens nothing.
    static Outcome exportPlugins(const QList<AudioPlugin>& plugins, ExportSortOption sortBy, SavePanel& panel,
                                 Workspace& workspace);
    static Outcome exportPluginsAsCSV(const QList<AudioPlugin>& plugins, ExportSortOption sortBy, SavePanel& panel,
                                      Workspace& workspace);

    // The steps, public for tests.
    static QList<AudioPlugin> sortPlugins(QList<AudioPlugin> plugins, ExportSortOption by,
                                          const QDateTime& now = QDateTime::currentDateTimeUtc());
    static QList<Column> columnOrder(ExportSortOption option, const QDateTime& now = QDateTime::currentDateTimeUtc());
    static QList<double> calculateColumnWidths(const QList<Column>& columns, double totalWidth);
    /// Empty bytes when the document cannot be drawn.
    static QByteArray generatePDF(const QList<AudioPlugin>& plugins, const QList<Column>& columns,
                                  ExportSortOption sortBy, const QDateTime& now = QDateTime::currentDateTime());
    static QByteArray generateCSV(const QList<AudioPlugin>& plugins, const QList<Column>& columns);
    /// Writes the bytes atomically and opens the file only when that worked. Empty bytes
    /// (a document that could not be drawn) count as a failed write.
    static Outcome writeExport(const QString& path, const QByteArray& bytes, Workspace& workspace);
};
