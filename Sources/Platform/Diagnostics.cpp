#include "Platform/Diagnostics.h"

#include <cstdio>
#include <mutex>

namespace Diagnostics {

namespace {
std::function<void(const QString&)>& sinkStorage()
{
    static std::function<void(const QString&)> sink;
    return sink;
}

// The scan prints from its worker threads: one line at a time, never interleaved.
std::mutex& printMutex()
{
    static std::mutex mutex;
    return mutex;
}
} // namespace

void print(const QString& line)
{
    const std::lock_guard lock(printMutex());
    if (const auto& sink = sinkStorage()) {
        sink(line);
        return;
    }
    const QByteArray bytes = line.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void setSink(std::function<void(const QString&)> sink)
{
    const std::lock_guard lock(printMutex());
    sinkStorage() = std::move(sink);
}

} // namespace Diagnostics
