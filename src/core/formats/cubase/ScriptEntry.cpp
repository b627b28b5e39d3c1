#include "formats/cubase/ScriptEntry.h"

#include "base/Text.h"

#include <algorithm>

namespace quorvix {

namespace {

// The steps below walk the line once, with plain loops: entry lines are short, and a library search per
// step would cost more than the step.

const char* skipBlanks(const char* at, const char* end)
{
    while (at < end && isBlank(*at))
        ++at;
    return at;
}

const char* skipCommasAndBlanks(const char* at, const char* end)
{
    while (at < end && (*at == ',' || isBlank(*at)))
        ++at;
    return at;
}

const char* skipDigits(const char* at, const char* end)
{
    while (at < end && isDigit(*at))
        ++at;
    return at;
}

const char* find(const char* at, const char* end, char wanted)
{
    while (at < end && *at != wanted)
        ++at;
    return at;
}

bool negativeNumber(const char* at, const char* end)
{
    return end - at >= 2 && at[0] == '-' && isDigit(at[1]);
}

std::string_view between(const char* from, const char* to)
{
    return std::string_view(from, static_cast<std::size_t>(to - from));
}

} // namespace

EntryFields parseEntryLine(std::string_view text)
{
    EntryFields fields;
    const char* const end = text.data() + text.size();
    // "[", "p", the digit and one more.
    const char* at = skipBlanks(text.data() + std::min<std::size_t>(4, text.size()), end);
    const char* digitsEnd = skipDigits(at, end);
    fields.programText = between(at, digitsEnd);

    // The comma search may reach into the name; without a comma the second number is read from the program
    // digits again.
    if (const char* comma = find(digitsEnd, end, ','); comma < end)
        at = comma;
    at = skipCommasAndBlanks(at, end);
    fields.secondNegative = negativeNumber(at, end);
    digitsEnd = skipDigits(at, end);
    fields.secondText = between(at, digitsEnd);

    const char* stop = digitsEnd;
    while (stop < end && *stop != ',' && *stop != ']')
        ++stop;
    fields.threeNumbers = stop < end && *stop == ',';
    if (fields.threeNumbers) {
        at = skipCommasAndBlanks(stop, end);
        fields.thirdNegative = negativeNumber(at, end);
        digitsEnd = skipDigits(at, end);
        fields.thirdText = between(at, digitsEnd);
    } else {
        at = skipCommasAndBlanks(at, end);
    }

    if (const char* bracket = find(at, end, ']'); bracket < end)
        fields.name = between(skipBlanks(bracket + 1, end), end);
    return fields;
}

} // namespace quorvix
