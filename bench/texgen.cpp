// Texture generator speed: each stored program of the embedded archive (what start-up pays), and each
// operation on its own over a full 256 x 256 image.
#include <benchmark/benchmark.h>

#include <vector>

#include "archive/archive.h"
#include "archive/embedded_archive.h"
#include "texgen/generator.h"
#include "texgen/operations.h"

namespace {

void storedProgram(benchmark::State& state) {
  buildCosineTable();
  loadArchive(g_archiveBlob, g_archiveBlobSize);
  const ArchiveEntry* entry = nullptr;
  int32_t seen = 0;
  for (int32_t i = 0; i < archiveEntryCount(); ++i) {
    if (archiveEntryAt(i)->type == kEntryTexture && seen++ == state.range(0)) entry = archiveEntryAt(i);
  }
  if (entry == nullptr) {
    state.SkipWithError("no such texture program");
    return;
  }
  const std::vector<uint8_t> program(entry->storedData, entry->storedData + entry->storedSize);
  state.SetLabel(fourCCText(entry->key));
  findEntry(makeFourCC('A', 'U', 'M', 'P'));  // the picture decoded once, as at start-up
  for (auto _ : state) textureGenerator().run(program.data(), program.size());
}
BENCHMARK(storedProgram)->DenseRange(0, 8)->Unit(benchmark::kMillisecond);

void allStoredPrograms(benchmark::State& state) {
  buildCosineTable();
  for (auto _ : state) {
    loadArchive(g_archiveBlob, g_archiveBlobSize);
    for (int32_t i = 0; i < archiveEntryCount(); ++i) {
      if (archiveEntryAt(i)->type == kEntryTexture) benchmark::DoNotOptimize(findEntry(archiveEntryAt(i)->key));
    }
  }
  releaseArchive();
}
BENCHMARK(allStoredPrograms)->Unit(benchmark::kMillisecond);

void operation(benchmark::State& state) {
  buildCosineTable();
  const int opcode = static_cast<int>(state.range(0));
  std::vector<uint32_t> dest(kLayerPixels), work(kLayerPixels);
  for (int i = 0; i < kLayerPixels; ++i) dest[i] = 0xFF000000u | static_cast<uint32_t>(i * 2654435761u >> 8);
  // Operands as the stored programs use them, where they use the operation.
  const OpInputs in{dest.data(), dest.data(), dest.data(), 8, 8, 1, 1, 0};
  Operation op = operationFor(opcode);
  state.SetLabel(std::to_string(opcode));
  for (auto _ : state) {
    op(in, work.data());
    benchmark::DoNotOptimize(work.data());
  }
}
BENCHMARK(operation)->DenseRange(0, 8)->DenseRange(10, 30)->Unit(benchmark::kMicrosecond);

}  // namespace
