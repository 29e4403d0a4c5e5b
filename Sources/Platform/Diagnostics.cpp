#include "Platform/Diagnostics.h"

#include <cstdio>

namespace Diagnostics {

namespace {
std::function<void(const QString&)>& sinkStorage()
{
    static std::function<void(const QString&)> sink;
    return sink;
}
} // namespace

void print(const QString& line)
{
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
    sinkStorage() = std::move(sink);
}

} // namespace Diagnostics
