#include "formats/cubase/ScriptEntry.h"

#include "base/Text.h"

#include <algorithm>

namespace quorvix {

namespace {

std::string_view dropCommasAndBlanks(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ',' || isBlank(text[i])))
        ++i;
    return text.substr(i);
}

std::string_view leadingDigits(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    return text.substr(0, i);
}

bool negativeNumber(std::string_view text)
{
    return text.size() >= 2 && text[0] == '-' && isDigit(text[1]);
}

} // namespace

EntryFields parseEntryLine(std::string_view text)
{
    EntryFields fields;
    text = text.substr(std::min<std::size_t>(4, text.size())); // "[", "p", the digit and one more
    text = dropBlanks(text);
    fields.programText = leadingDigits(text);

    // The comma search may reach into the name; without a comma the second number is read from the program
    // digits again.
    if (const auto comma = text.find(','); comma != std::string_view::npos)
        text = text.substr(comma);
    text = dropCommasAndBlanks(text);
    fields.secondNegative = negativeNumber(text);
    fields.secondText = leadingDigits(text);

    const auto stop = text.find_first_of(",]");
    fields.threeNumbers = stop != std::string_view::npos && text[stop] == ',';
    if (fields.threeNumbers)
        text = text.substr(stop);
    text = dropCommasAndBlanks(text);
    fields.thirdNegative = fields.threeNumbers && negativeNumber(text);
    fields.thirdText = fields.threeNumbers ? leadingDigits(text) : std::string_view();

    if (const auto bracket = text.find(']'); bracket != std::string_view::npos)
        fields.name = dropBlanks(text.substr(bracket + 1));
    return fields;
}

} // namespace quorvix
