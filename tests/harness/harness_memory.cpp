// The memory command of the harness: what the process that holds the library uses, measured
// from inside it, for the memory figures of tools/bench_discovery.py.
//   memory [sizes=N]
//               -> "private_usage", "working_set", "pagefile", "committed_private" (see
//                  process_memory.h); "heap_used" and "heap_blocks" (the busy blocks of every
//                  heap of the process, by HeapWalk) and "heap_committed" (the committed
//                  part of those heaps' regions); sizes in bytes. With sizes=N also
//                  "sizes": the N busy block sizes that take the most bytes, [[size, count]...]
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "harness_commands.h"
#include "process_memory.h"

namespace harness {
namespace {

struct HeapFigures {
    uint64_t used = 0, blocks = 0, committed = 0;
    std::map<uint64_t, uint64_t> sizes;  // busy block size -> count
};

HeapFigures WalkHeaps() {
    HeapFigures figures;
    std::vector<HANDLE> heaps(GetProcessHeaps(0, nullptr) + 16);
    heaps.resize(GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
    for (HANDLE heap : heaps) {
        if (!HeapLock(heap)) continue;
        PROCESS_HEAP_ENTRY entry = {};
        while (HeapWalk(heap, &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) {
                figures.used += entry.cbData;
                ++figures.blocks;
                ++figures.sizes[entry.cbData];
            } else if (entry.wFlags & PROCESS_HEAP_REGION) {
                figures.committed += entry.Region.dwCommittedSize;
            }
        }
        HeapUnlock(heap);
    }
    return figures;
}

// The block sizes that take the most bytes: [[size, count], ...], the largest share first.
std::string TopSizesJson(const HeapFigures& heaps, size_t top) {
    std::vector<std::pair<uint64_t, uint64_t>> sizes(heaps.sizes.begin(), heaps.sizes.end());
    std::sort(sizes.begin(), sizes.end(),
              [](const auto& a, const auto& b) { return a.first * a.second > b.first * b.second; });
    std::string json = "[";
    for (size_t i = 0; i < sizes.size() && i < top; ++i) {
        if (i) json += ",";
        json += "[";
        json += std::to_string(sizes[i].first);
        json += ",";
        json += std::to_string(sizes[i].second);
        json += "]";
    }
    return json + "]";
}

bool Memory(Context&, const Args& args, JsonLine& out) {
    ProcessMemory memory = MeasureProcessMemory();
    out.Add("private_usage", memory.privateUsage).Add("working_set", memory.workingSet);
    out.Add("pagefile", memory.pagefile).Add("committed_private", memory.committedPrivate);
    HeapFigures heaps = WalkHeaps();
    out.Add("heap_used", heaps.used).Add("heap_blocks", heaps.blocks).Add("heap_committed", heaps.committed);
    if (int64_t top = args.GetInt("sizes", 0, 0)) out.AddRaw("sizes", TopSizesJson(heaps, static_cast<size_t>(top)));
    return true;
}

}  // namespace
}  // namespace harness

HARNESS_COMMAND("memory", "memory", harness::Memory);
