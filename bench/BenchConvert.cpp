// The conversions on the generated inputs, through the calls quorvix-convert makes: read the file, convert,
// write each result to a file. Inputs come from the folder QUORVIX_BENCH_INPUTS names (default bench/out of
// the source tree): every master-*.ins runs Cakewalk -> Cubase for every definition (as "to-cubase --all"),
// every script-*.txt runs Cubase -> Cakewalk (as "to-cakewalk"), and again as the window does it, through a
// list of lines. The reported bytes_per_second is the input size over the time of one whole run. Results are
// written under QUORVIX_BENCH_OUTPUT (default: the system's temporary folder); a folder on a RAM file system
// leaves out the cost of the disk.

#include "base/FileWriter.h"
#include "base/InputFile.h"
#include "base/LargePages.h"
#include "base/TextLines.h"
#include "base/TimeStamp.h"
#include "formats/cubase/CakewalkDefinitionWriter.h"
#include "formats/cubase/CubaseScriptWriter.h"
#include "formats/ins/InsReader.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace quorvix;

namespace {

constexpr std::time_t kFixedMoment = 1700000000;

/// Peak resident memory of this process so far, in MB.
double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

std::string readWhole(const std::string& path)
{
    InputFile file = readInputFile(path);
    if (!file.ok())
        throw std::runtime_error("cannot read " + path + ": " + file.error);
    return std::move(file.bytes);
}

/// Counts what passes through to the file.
class CountingSink final : public OutputSink
{
public:
    explicit CountingSink(OutputSink& out) : m_out(out) {}
    void write(std::string_view bytes) override
    {
        written += bytes.size();
        m_out.write(bytes);
    }
    std::size_t written = 0;

private:
    OutputSink& m_out;
};

void writeOrThrow(const fs::path& target, const std::function<void(OutputSink&)>& produce)
{
    const WriteResult result = writeAtomically(target.string(), [&](OutputSink& out) {
        produce(out);
        return true;
    });
    if (!result.ok)
        throw std::runtime_error("cannot write " + target.string() + ": " + result.error);
}

/// One "to-cubase --all": every definition of the file becomes one script file in `outDir`. Returns the
/// number of bytes written.
std::size_t insToCubase(const std::string& path, const fs::path& outDir, const TimeStamp& stamp)
{
    const ReadResult read = readIns(readWhole(path));
    if (!read.ok() || read.set.instruments.empty())
        throw std::runtime_error("no definitions in " + path);
    std::size_t written = 0;
    std::string storage;
    for (std::size_t i = 0; i < read.set.instruments.size(); ++i) {
        const Instrument& instrument = read.set.instruments[i];
        const std::vector<ScriptVoice> voices = ScriptVoices(read.set, instrument, false, storage);
        writeOrThrow(outDir / (std::to_string(i) + ".txt"), [&](OutputSink& out) {
            CountingSink counted(out);
            WriteCubaseScript(voices, read.set.text(instrument.name), stamp, counted);
            written += counted.written;
        });
    }
    return written;
}

/// One "to-cakewalk": the script becomes one .ins file. Returns the number of bytes written.
std::size_t scriptToIns(const std::string& path, const fs::path& outDir, const TimeStamp& stamp)
{
    const std::string script = readWhole(path);
    DefinitionConversion result;
    ScriptConversion conversion;
    if (!conversion.read(script, result))
        throw std::runtime_error("cannot convert " + path + ": " + result.detail);
    std::size_t written = 0;
    writeOrThrow(outDir / "out.ins", [&](OutputSink& out) {
        CountingSink counted(out);
        conversion.write("Bench Synth", stamp, counted, result);
        written = counted.written;
    });
    return written;
}

/// The same as the window converts and saves: through a list of lines.
std::size_t scriptToInsByLines(const std::string& path, const fs::path& outDir, const TimeStamp& stamp)
{
    const DefinitionConversion result = ConvertToCakewalkDefinition(readWhole(path), "Bench Synth", stamp);
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
            benchmark::RegisterBenchmark(
                ("window_to_cakewalk/" + name).c_str(),
                [path](benchmark::State& state) { runConversion(state, path, scriptToInsByLines); })
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "no inputs in %s: run bench/run.sh, or quorvix-bench-generate first\n",
                     inputs.string().c_str());
        return 1;
    }

    // As quorvix-convert prepares its heap for the input it has read.
    prepareLargePageHeap(static_cast<std::size_t>(fs::file_size(files.back())) * 3 / 2);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
