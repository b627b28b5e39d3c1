#include "Inputs.h"

#include "base/PathText.h"
#include "base/Text.h"
#include "model/MergedSets.h"

#include <algorithm>
#include <iterator>

namespace quorvix::cli {

const Input& Inputs::inputOf(std::size_t index) const
{
    const auto after = std::upper_bound(firstInstrument.begin(), firstInstrument.end(), index);
    const auto file =
        static_cast<std::size_t>(std::max<std::ptrdiff_t>(after - firstInstrument.begin() - 1, 0));
    return files[std::min(file, files.size() - 1)];
}

std::string Inputs::holder() const
{
    if (files.size() == 1)
        return inQuotes(files.front().path);
    return "the " + std::to_string(files.size()) + " files";
}

std::string Inputs::shownPaths() const
{
    std::string shown;
    for (const Input& file : files)
        shown += (shown.empty() ? "" : ", ") + shownPath(file.path);
    return shown;
}

std::string Inputs::sourceName() const
{
    std::string names;
    for (const Input& file : files)
        names += (names.empty() ? "" : ", ") + textFromPath(pathFromText(file.path).filename());
    return names;
}

std::string Inputs::sourceNameOf(std::size_t index) const
{
    return textFromPath(pathFromText(inputOf(index).path).filename());
}

bool Inputs::anyUtf8Format() const
{
    return std::any_of(files.begin(), files.end(), [](const Input& file) {
        const FormatRow* row = formatRow(file.format);
        return row != nullptr && row->encoding == FormatEncoding::Utf8;
    });
}

Inputs readInputs(const std::vector<std::string>& paths, std::string_view message,
                  std::string_view notTextMessage, std::optional<Input> first)
{
    Inputs inputs;
    std::vector<InstrumentSet> sets;
    for (const std::string& path : paths) {
        Input& input =
            inputs.files.emplace_back(first ? std::move(*first) : readInput(path, message, notTextMessage));
        first.reset();
        ReadResult read = readModel(input);
        if (paths.size() == 1) {
            inputs.read = std::move(read);
            inputs.firstInstrument = {0};
            return inputs;
        }
        sets.push_back(std::move(read.set));
    }
    inputs.read.set = mergedSets(std::move(sets), &inputs.firstInstrument);
    return inputs;
}

std::string inputsHelp(const FormatRow* last)
{
    return inputHelp(last) + ". Several files are converted as one: their definitions in the order given";
}

} // namespace quorvix::cli
