// SPDX-License-Identifier: GPL-3.0-or-later
// Throughput of the capitalisation rule against a plain copy of the same buffer.
#include "capitalize.h"
#include "capitalize_p.h"
#include "prose.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr qsizetype OneMegabyte = qsizetype(1) << 20;

const QString &prose(qsizetype units, bool mixed)
{
    static QString cache[2][2];
    QString &slot = cache[units > OneMegabyte][mixed];
    if (slot.size() != units)
        slot = QuillmereBench::makeProse(units, mixed);
    return slot;
}

void setBytes(benchmark::State &state, qsizetype units)
{
    state.SetBytesProcessed(int64_t(state.iterations()) * units * int64_t(sizeof(char16_t)));
}

// Baseline: memcpy of the text's bytes into a buffer that already exists.
void BM_Memcpy(benchmark::State &state)
{
    const QString &text = prose(state.range(0), state.range(1));
    std::vector<char16_t> target(size_t(text.size()));
    for (auto _ : state) {
        std::memcpy(target.data(), text.constData(), size_t(text.size()) * sizeof(char16_t));
        benchmark::ClobberMemory();
    }
    setBytes(state, text.size());
}

// The rule rewriting a buffer it owns, as the editor's command does.
void BM_CapitalizeWordsInPlace(benchmark::State &state)
{
    QString buffer = prose(state.range(0), state.range(1));
    buffer.detach();
    for (auto _ : state) {
        buffer = Quillmere::CapitalizeWords(std::move(buffer));
        benchmark::DoNotOptimize(buffer.constData());
    }
    setBytes(state, buffer.size());
}

// Baseline for the copying form: a deep copy into a freshly allocated string.
void BM_DeepCopy(benchmark::State &state)
{
    const QString &text = prose(state.range(0), state.range(1));
    for (auto _ : state) {
        QString copy = text;
        copy.detach();
        benchmark::DoNotOptimize(copy.constData());
    }
    setBytes(state, text.size());
}

// The rule reading a shared string and writing a freshly allocated one.
void BM_CapitalizeWordsCopy(benchmark::State &state)
{
    const QString &text = prose(state.range(0), state.range(1));
    for (auto _ : state) {
        QString result = Quillmere::CapitalizeWords(text);
        benchmark::DoNotOptimize(result.constData());
    }
    setBytes(state, text.size());
}

// The in-place rule on one kernel, to compare the kernels this processor supports; read it
// against BM_Memcpy with the same units and mixed arguments.
void BM_CapitalizeWordsOn(benchmark::State &state)
{
    using Quillmere::Internal::InstructionSet;
    const auto set = InstructionSet(state.range(0));
    if (!Quillmere::Internal::isSupported(set)) {
        state.SkipWithError("this processor cannot run the kernel");
        return;
    }
    QString buffer = prose(state.range(1), state.range(2));
    buffer.detach();
    for (auto _ : state) {
        buffer = Quillmere::Internal::capitalizeWordsWith(set, std::move(buffer));
        benchmark::DoNotOptimize(buffer.constData());
    }
    setBytes(state, buffer.size());
}

void kernelsAndSizes(benchmark::internal::Benchmark *benchmark)
{
    using Quillmere::Internal::InstructionSet;
    benchmark->ArgNames({ "set", "units", "mixed" });
    for (const InstructionSet set : { InstructionSet::Scalar, InstructionSet::Sse2,
                                      InstructionSet::Avx2, InstructionSet::Avx512 })
        for (const qsizetype units : { OneMegabyte, 10 * OneMegabyte })
            for (const int mixed : { 0, 1 })
                benchmark->Args({ int64_t(set), units, mixed });
    benchmark->Unit(benchmark::kMicrosecond);
}

void sizes(benchmark::internal::Benchmark *benchmark)
{
    benchmark->ArgNames({ "units", "mixed" });
    for (const qsizetype units : { OneMegabyte, 10 * OneMegabyte })
        for (const int mixed : { 0, 1 })
            benchmark->Args({ units, mixed });
    benchmark->Unit(benchmark::kMicrosecond);
}

} // namespace

BENCHMARK(BM_Memcpy)->Apply(sizes);
BENCHMARK(BM_CapitalizeWordsInPlace)->Apply(sizes);
BENCHMARK(BM_DeepCopy)->Apply(sizes);
BENCHMARK(BM_CapitalizeWordsCopy)->Apply(sizes);
BENCHMARK(BM_CapitalizeWordsOn)->Apply(kernelsAndSizes);

BENCHMARK_MAIN();
