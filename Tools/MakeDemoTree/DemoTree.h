#pragma once

#include <QMap>
#include <QString>

/// Writes a realistic, deterministic plug-in tree for the demo, the tests and the
/// benchmarks: bundles of every format in system and user folders, the disabled-folder
/// layout, Waves version folders and shells, and a few hostile names. It only writes
/// files; it knows nothing of the scanner.
namespace DemoTree {

struct Options {
    QString root;     // R: system folders such as R/Library/Audio/Plug-Ins
    QString home;     // H: the user's folders
    int count = 300;  // bundles in total, roughly
    quint32 seed = 1; // the same seed always gives the same tree
};

struct Summary {
    int bundles = 0;
    int disabled = 0;
    int skippedShells = 0;        // WaveShell bundles, which no scan turns into records
    QMap<QString, int> perFormat; // by format display name
    QString error;                // empty when everything was written
};

/// Writes the tree (existing files of the same names are overwritten).
Summary write(const Options& options);

/// One line for the terminal.
QString describe(const Options& options, const Summary& summary);

} // namespace DemoTree
