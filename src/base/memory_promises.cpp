#include "memory_promises.h"

#include <atomic>

namespace memory_promises {
namespace {
std::atomic<qint64> promised{0};
/// The editor's cost of each line beyond its characters: the text document's block and its
/// layout bookkeeping, measured with bench_editor on pages of short lines.
constexpr qint64 kBytesPerLine = 480;
} // namespace

void add(qint64 bytes) {
    promised += bytes;
}

qint64 total() {
    return promised.load();
}

qint64 editorCost(qint64 characters, qint64 lines) {
    return 3 * characters + lines * kBytesPerLine;
}
} // namespace memory_promises
