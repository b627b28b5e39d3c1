// Both conversions on the generated inputs, through the calls quorvix-convert makes: read the file, convert,
// write each result to a file. Inputs come from the folder QUORVIX_BENCH_INPUTS names (default bench/out of
// the source tree): every master-*.ins runs Cakewalk -> Cubase for every definition (as "to-cubase --all"),
// every script-*.txt runs Cubase -> Cakewalk (as "to-cakewalk"). The reported bytes_per_second is the input
// size over the time of one whole run. Results are written under QUORVIX_BENCH_OUTPUT (default: the system's
// temporary folder); a folder on a RAM file system leaves out the cost of the disk.

#include "base/FileWriter.h"
#include "base/TextLines.h"
#include "base/TimeStamp.h"
#include "formats/cubase/CakewalkDefinitionWriter.h"
#include "legacy/ZT_midifile.h"
#include "formats/cubase/CubaseScriptWriter.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace quorvix;

namespace {

constexpr std::time_t kFixedMoment = 1700000000;

struct LibraryFree
{
    void operator()(MIDIFile* file) const { ZT_Free(file); }
};

struct ArrayDelete
{
    void operator()(void* array) const { ZT_Delete(array); }
};

std::string fieldText(const char* field, std::size_t size)
{
    const void* end = std::memchr(field, '\0', size);
    return {field, end ? static_cast<std::size_t>(static_cast<const char*>(end) - field) : size};
}

/// Peak resident memory of this process so far, in MB.
double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

/// One "to-cubase --all": every definition of the file becomes one script file in `outDir`. Returns the
/// number of bytes written.
std::size_t insToCubase(const std::string& path, const fs::path& outDir, const TimeStamp& stamp)
{
    std::unique_ptr<MIDIFile, LibraryFree> library(ZT_Init());
    if (!library || ZT_CWInsLoad(library.get(), path.c_str()) != 0)
        throw std::runtime_error("cannot load " + path);
    ZT_cwdef* defs = nullptr;
    int count = 0;
    const bool listed = ZT_CWInsGetDefs(library.get(), &defs, &count) == 0;
    std::unique_ptr<ZT_cwdef, ArrayDelete> ownedDefs(defs);
    if (!listed)
        throw std::runtime_error("no definitions in " + path);
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.push_back(fieldText(defs[i].name, sizeof defs[i].name));
    ownedDefs.reset();

    std::size_t written = 0;
    TextLines lines;
    for (int i = 0; i < count; ++i) {
        if (ZT_CWInsSetDef(library.get(), i) != 0)
            throw std::runtime_error("cannot choose definition");
        ZT_cwbankvoice* voices = nullptr;
        long voiceCount = 0;
        char noText[1] = {};
        if (ZT_CWInsGetBankVoiceList(library.get(), noText, &voices, &voiceCount) != 0)
            throw std::runtime_error("cannot list voices");
        std::unique_ptr<ZT_cwbankvoice, ArrayDelete> ownedVoices(voices);
        std::vector<std::uint8_t> taken(static_cast<std::size_t>(voiceCount), 0);
        std::int32_t cursor = 0;
        ConvertToCubaseScript(voices, static_cast<std::int32_t>(voiceCount), taken.data(), cursor, names[i],
                              stamp, lines);
        const auto target = outDir / (std::to_string(i) + ".txt");
        const WriteResult result = writeLinesAtomically(target.string(), lines);
        if (!result.ok)
            throw std::runtime_error("cannot write " + target.string() + ": " + result.error);
        for (const auto& line : lines)
            written += line.size() + 2;
    }
    return written;
}

/// One "to-cakewalk": the script becomes one .ins file. Returns the number of bytes written.
std::size_t scriptToIns(const std::string& path, const fs::path& outDir, const TimeStamp& stamp)
{
    const DefinitionConversion result = ConvertToCakewalkDefinitionFile(path, "Bench Synth", stamp);
    if (result.status != DefinitionConversion::Status::Ok)
        throw std::runtime_error("cannot convert " + path + ": " + result.detail);
    const auto target = outDir / "out.ins";
    const WriteResult written = writeLinesAtomically(target.string(), result.lines);
    if (!written.ok)
        throw std::runtime_error("cannot write " + target.string() + ": " + written.error);
    std::size_t bytes = 0;
    for (const auto& line : result.lines)
        bytes += line.size() + 2;
    return bytes;
}

template <typename Run>
void runConversion(benchmark::State& state, const std::string& path, Run run)
{
    const auto inputBytes = static_cast<std::int64_t>(fs::file_size(path));
    const char* outputRoot = std::getenv("QUORVIX_BENCH_OUTPUT");
    const fs::path outDir = (outputRoot != nullptr ? fs::path(outputRoot) : fs::temp_directory_path()) /
                            ("quorvix-bench-" + std::to_string(::getpid()));
    fs::create_directories(outDir);
    const TimeStamp stamp = localTimeStamp(kFixedMoment);
    std::size_t outputBytes = 0;
    for (auto _ : state) {
        // Each run writes new files, as quorvix-convert does into an empty folder (replacing files costs a
        // sync and a rename over each old one: a different measurement).
        state.PauseTiming();
        std::error_code ec;
        fs::remove_all(outDir, ec);
        fs::create_directories(outDir, ec);
        state.ResumeTiming();
        try {
            outputBytes = run(path, outDir, stamp);
        } catch (const std::exception& e) {
            state.SkipWithError(e.what());
            break;
        }
    }
    std::error_code ec;
    fs::remove_all(outDir, ec);
    state.SetBytesProcessed(state.iterations() * inputBytes);
    state.counters["input_MB"] = static_cast<double>(inputBytes) / 1e6;
    state.counters["output_MB"] = static_cast<double>(outputBytes) / 1e6;
    state.counters["peak_RSS_MB"] = peakMegabytes();
}

} // namespace

int main(int argc, char** argv)
{
    const char* fromEnvironment = std::getenv("QUORVIX_BENCH_INPUTS");
    const fs::path inputs =
        fromEnvironment != nullptr ? fs::path(fromEnvironment) : fs::path(QUORVIX_BENCH_DEFAULT_INPUTS);
    std::vector<fs::path> files;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(inputs, ec))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    // Smallest first, so that a quick look at the output shows the small sizes first.
    std::sort(files.begin(), files.end(), [](const fs::path& a, const fs::path& b) {
        return fs::file_size(a) < fs::file_size(b) || (fs::file_size(a) == fs::file_size(b) && a < b);
    });

    for (const auto& file : files) {
        const std::string name = file.filename().string();
        const std::string path = file.string();
        if (name.rfind("master-", 0) == 0 && file.extension() == ".ins") {
            benchmark::RegisterBenchmark(
                ("to_cubase/" + name).c_str(),
                [path](benchmark::State& state) { runConversion(state, path, insToCubase); })
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        } else if (name.rfind("script-", 0) == 0 && file.extension() == ".txt") {
            benchmark::RegisterBenchmark(
                ("to_cakewalk/" + name).c_str(),
                [path](benchmark::State& state) { runConversion(state, path, scriptToIns); })
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "no inputs in %s: run bench/run.sh, or quorvix-bench-generate first\n",
                     inputs.string().c_str());
        return 1;
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
