#include "MakeDemoTree/DemoTree.h"

#include <QString>
#include <QStringList>

#include <cstdio>

namespace {

int usage(const char* message)
{
    std::fprintf(stderr, "%s\nusage: rackhand-make-demo-tree --root R --home H [--count N] [--seed S]\n", message);
    return 2;
}

} // namespace

// Writes the demo plug-in tree under R and H and prints one summary line.
int main(int argc, char** argv)
{
    DemoTree::Options options;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            std::printf("Writes a deterministic demo plug-in tree.\n"
                        "usage: rackhand-make-demo-tree --root R --home H [--count N] [--seed S]\n");
            return 0;
        }
        if (i + 1 >= argc)
            return usage("missing value after an option");
        const QString value = QString::fromLocal8Bit(argv[++i]);
        bool ok = true;
        if (arg == QLatin1String("--root"))
            options.root = value;
        else if (arg == QLatin1String("--home"))
            options.home = value;
        else if (arg == QLatin1String("--count"))
            options.count = value.toInt(&ok);
        else if (arg == QLatin1String("--seed"))
            options.seed = value.toUInt(&ok);
        else
            return usage("unknown option");
        if (!ok)
            return usage("not a number");
    }
    if (options.root.isEmpty() || options.home.isEmpty())
        return usage("--root and --home are required");
    if (options.count < 0)
        return usage("--count must not be negative");
    while (options.root.size() > 1 && options.root.endsWith(QLatin1Char('/')))
        options.root.chop(1);
    while (options.home.size() > 1 && options.home.endsWith(QLatin1Char('/')))
        options.home.chop(1);

    const DemoTree::Summary summary = DemoTree::write(options);
    if (!summary.error.isEmpty()) {
        std::fprintf(stderr, "rackhand-make-demo-tree: %s\n", summary.error.toLocal8Bit().constData());
        return 1;
    }
    std::printf("%s\n", DemoTree::describe(options, summary).toUtf8().constData());
    return 0;
}
