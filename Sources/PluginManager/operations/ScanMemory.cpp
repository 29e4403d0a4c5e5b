#include "operations/ScanMemory.h"

#include <QHash>

#include <algorithm>
#include <malloc.h>
#include <thread>
#include <utility>
#include <vector>

namespace ScanMemory {

void packTexts(QList<AudioPlugin>& plugins)
{
    // A text freed here would be handed straight back to the next copy of its size (the
    // allocator keeps a few freed blocks per thread at hand), landing where it came from: the
    // old texts of a run of rows are let go on another thread once the run is copied.
    constexpr qsizetype kRun = 1024;
    constexpr size_t kTextsPerRow = 6;
    std::vector<QString> replaced;
    replaced.reserve(size_t(kRun) * kTextsPerRow);
    QHash<const QChar*, QString> copies; // of shared texts, by the old text's storage
    // An empty text holds no block of its own, and a null one must stay null.
    const auto replace = [&replaced](QString& text, QString copy) {
        if (!text.isEmpty())
            replaced.push_back(std::exchange(text, std::move(copy)));
    };
    const auto copyOf = [](const QString& text) {
        return text.isEmpty() ? text : QString(text.constData(), text.size());
    };
    const auto replaceShared = [&](QString& text) {
        if (text.isEmpty())
            return;
        auto known = copies.constFind(text.constData());
        if (known == copies.cend())
            known = copies.insert(text.constData(), copyOf(text));
        replace(text, *known);
    };
    for (qsizetype i = 0; i < plugins.size(); ++i) {
        AudioPlugin& plugin = plugins[i];
        const bool onePath = plugin.currentPath.constData() == plugin.originalPath.constData();
        replace(plugin.name, copyOf(plugin.name));
        replaceShared(plugin.manufacturer);
        replace(plugin.originalPath, copyOf(plugin.originalPath));
        replace(plugin.currentPath, onePath ? plugin.originalPath : copyOf(plugin.currentPath));
        if (plugin.version)
            replaceShared(*plugin.version);
        if (plugin.bundleIdentifier)
            replace(*plugin.bundleIdentifier, copyOf(*plugin.bundleIdentifier));
        if ((i + 1) % kRun == 0 || i + 1 == plugins.size()) {
            std::thread([old = std::move(replaced)]() mutable { old.clear(); }).join();
            replaced = {};
            replaced.reserve(size_t(kRun) * kTextsPerRow);
        }
    }
}

void sharePoolsPerCore()
{
    ::mallopt(M_ARENA_MAX, int(std::max(1u, std::thread::hardware_concurrency())));
}

void returnFreedPagesPromptly()
{
    // The allocator's own starting threshold, kept from now on instead of raised.
    constexpr int kStartingTrimThreshold = 128 * 1024;
    ::mallopt(M_TRIM_THRESHOLD, kStartingTrimThreshold);
}

} // namespace ScanMemory
