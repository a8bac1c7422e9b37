#include "minor_keys.h"
#include "scale_rows.h"

#include <benchmark/benchmark.h>

// All 45 note rows, as a key change computes three of them.
static void BM_NoteRowAllKeysAndForms(benchmark::State &state)
{
    for (auto _ : state) {
        for (const MinorKey &key : MinorKeys) {
            for (ScaleForm form : ScaleForms)
                benchmark::DoNotOptimize(NoteRow(form, key.KeyIndex));
        }
    }
    state.SetItemsProcessed(state.iterations() * 45);
}
BENCHMARK(BM_NoteRowAllKeysAndForms);

static void BM_NextHeaderRow(benchmark::State &state)
{
    std::string_view text = TonicName;
    for (auto _ : state) {
        ScaleRow row = NextHeaderRow(ScaleForm::Harmonica, text);
        text = row.front().text;
        benchmark::DoNotOptimize(text);
    }
}
BENCHMARK(BM_NextHeaderRow);
