// Building and reading the service's XML documents, against writing the same bytes by hand.

#include <benchmark/benchmark.h>

#include <string>

#include "manager/xml_messages.h"

namespace {

void BM_Baseline_HandWrittenLockRequest(benchmark::State& state) {
    std::uint32_t taskId = 1;
    for (auto _ : state) {
        std::u16string text = u"<?xml version=\"1.0\"?>\n<LockDescription uid=\"";
        for (char c : std::to_string(taskId++)) text.push_back(static_cast<char16_t>(c));
        text += u"\">\n<ObjectLink>Duzaduza Databases/Databases</ObjectLink>\n<Type>read</Type>\n"
                u"</LockDescription>\n";
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_Baseline_HandWrittenLockRequest);

void BM_BuildLockRequest(benchmark::State& state) {
    std::uint32_t taskId = 1;
    for (auto _ : state) {
        auto text = synchronization::manager::BuildLockRequest(u"Duzaduza Databases", u"Databases",
                                                               true, taskId++);
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_BuildLockRequest);

void BM_ParseLockDescription(benchmark::State& state) {
    const std::u16string event =
        u"<?xml version=\"1.0\"?>\n<LockDescription uid=\"7\">\n"
        u"<ObjectLink>Duzaduza Databases/Databases</ObjectLink>\n<Type>write</Type>\n"
        u"</LockDescription>\n";
    std::u16string object, uid;
    bool isWrite = false;
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            synchronization::manager::ParseLockDescription(event, object, uid, isWrite));
    }
}
BENCHMARK(BM_ParseLockDescription);

}  // namespace
