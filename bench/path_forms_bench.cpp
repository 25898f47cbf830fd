// The path conversions on a mix of the names the server meets: NC names, host paths, domain paths
// in another view, drive and share paths of 30 to 60 bytes. Items per second is conversions per
// second.
#include <benchmark/benchmark.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "ncpath/path_forms.h"
#include "zov/win32.h"

namespace {

using namespace zov::ncpath;

constexpr std::array<std::string_view, 8> kNames = {
    "/_N_WKS_DIR/_N_PART1_ZOV/_N_MAIN_MPF",
    "/_N_SPF_DIR/_N_CYCLE800_SPF",
    "\\WKS.DIR\\GEHAEUSE_4711.ZOV\\SCHRUPPEN.MPF",
    "wks.dir\\part1.zov\\main.mpf",
    "TESK://domain/nc/wks.dir/part1.zov/main.mpf",
    "TESK://domain/hd-nc/WKS.DIR/PART1.ZOV/PART1.DAT",
    "c:\\data\\programs\\welle_0815\\main.mpf",
    "\\\\srv\\share\\programs\\x.mpf",
};

struct JoinParts {
  std::string_view directory, name, extension;
};
constexpr std::array<JoinParts, 4> kJoins = {{
    {"TESK://domain/hd-nc/WKS.DIR/PART1.ZOV", "MAIN", "MPF"},
    {"TESK://domain/hd/WKS.DIR/GEHAEUSE_4711.ZOV", "GEHAEUSE_4711", "DAT"},
    {"TESK://domain/hd-nc/SPF.DIR", "CYCLE800", ""},
    {"TESK://domain/hd-nc/MPF.DIR", "MAIN", "MPF"},
}};

void MakeDomainPathInViewMix(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state) {
    std::optional<std::string> result = MakeDomainPathInView(kNames[i], kViewHdNc);
    benchmark::DoNotOptimize(result);
    i = (i + 1) % kNames.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(MakeDomainPathInViewMix);

void MakeHostPathMix(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state) {
    std::optional<std::string> result = MakeHostPath(kNames[i]);
    benchmark::DoNotOptimize(result);
    i = (i + 1) % kNames.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(MakeHostPathMix);

void JoinPathMix(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state) {
    const JoinParts& parts = kJoins[i];
    std::optional<std::string> result = JoinPath(parts.directory, parts.name, parts.extension);
    benchmark::DoNotOptimize(result);
    i = (i + 1) % kJoins.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(JoinPathMix);

// The reference in the same run: the least a conversion does with a name -- copy it into a new
// string and upper-case it with the code page's mapping.
void UpperCaseCopyMix(benchmark::State& state) {
  size_t i = 0;
  for (auto _ : state) {
    std::string copy(kNames[i]);
    CharUpperBuffA(copy.data(), static_cast<DWORD>(copy.size()));
    benchmark::DoNotOptimize(copy);
    i = (i + 1) % kNames.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(UpperCaseCopyMix);

}  // namespace

BENCHMARK_MAIN();
