#include "catalogue/PDFExporter.h"
#include "catalogue/PluginScanner.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

// Not a check: writes a sample document for a person to look at, when asked to.
// RACKHAND_EXPORT_SAMPLE=/path/sample.pdf rackhand_docs_images --gtest_filter=*Sample*
// Exports the catalogue of whatever tree the environment points at (scripts/make-demo-tree
// with RACKHAND_SYSTEM_ROOT and HOME). Runs only when RACKHAND_EXPORT_SAMPLE names the file.
TEST(PDFExporterSample, WritesASampleDocumentWhenAsked)
{
    const QString target = qEnvironmentVariable("RACKHAND_EXPORT_SAMPLE");
    if (target.isEmpty())
        GTEST_SKIP() << "set RACKHAND_EXPORT_SAMPLE to a file path";
    PluginScanner scanner;
    scanner.scanAllPlugins();
    const QList<AudioPlugin> plugins = scanner.discoveredPlugins();
    ASSERT_FALSE(plugins.isEmpty()) << "point RACKHAND_SYSTEM_ROOT and HOME at a demo tree";
    const QDateTime now = QDateTime::currentDateTime();
    const auto option = ExportSortOption::manufacturer;
    const QByteArray pdf = PDFExporter::generatePDF(PDFExporter::sortPlugins(plugins, option, now),
                                                    PDFExporter::columnOrder(option, now), option, now);
    ASSERT_FALSE(pdf.isEmpty());
    QDir().mkpath(QFileInfo(target).absolutePath());
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(pdf);
}
