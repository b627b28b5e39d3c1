#include "legacy/ZT_midifile.h"

#include "formats/ins/InsReader.h"

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <new>

struct MIDIFile
{
    quorvix::InsFile ins;
    bool loaded = false;
    std::size_t chosen = 0;
    bool hasChoice = false;
};

namespace {

// Every array handed out comes from here and goes back through ZT_Delete. Never null on success, also for
// no elements, so that a caller can tell an empty list from a failure.
template <typename Record>
Record* allocateRecords(std::size_t count)
{
    return static_cast<Record*>(std::calloc(count > 0 ? count : 1, sizeof(Record)));
}

} // namespace

namespace quorvix {

const InsFile* insFileOf(const MIDIFile* file)
{
    return file ? &file->ins : nullptr;
}
InsFile* insFileOf(MIDIFile* file)
{
    return file ? &file->ins : nullptr;
}

bool chosenDefinitionOf(const MIDIFile* file, std::size_t& index)
{
    if (file == nullptr || !file->loaded || !file->hasChoice)
        return false;
    index = file->chosen;
    return true;
}

} // namespace quorvix

MIDIFile* ZT_Init()
{
    return new (std::nothrow) MIDIFile;
}

std::uint32_t ZT_Free(MIDIFile* file)
{
    delete file;
    return 0;
}

void ZT_Delete(void* array)
{
    std::free(array);
}

std::uint32_t ZT_CWInsLoad(MIDIFile* file, const char* path)
{
    if (file == nullptr)
        return 1;
    file->loaded = false;
    file->hasChoice = false;
    if (path == nullptr) {
        file->ins = quorvix::InsFile();
        return 1;
    }
    try {
        file->loaded = file->ins.load(path);
    } catch (const std::exception&) {
        file->ins = quorvix::InsFile();
        file->loaded = false;
    }
    return file->loaded ? 0 : 1;
}

std::uint32_t ZT_CWInsLoadBytes(MIDIFile* file, std::string bytes)
{
    if (file == nullptr)
        return 1;
    file->loaded = false;
    file->hasChoice = false;
    try {
        file->loaded = file->ins.parse(std::move(bytes));
    } catch (const std::exception&) {
        file->ins = quorvix::InsFile();
    }
    return file->loaded ? 0 : 1;
}

std::uint32_t ZT_CWInsGetDefs(MIDIFile* file, ZT_cwdef** defs, int* count)
{
    if (defs != nullptr)
        *defs = nullptr;
    if (count != nullptr)
        *count = 0;
    if (file == nullptr || !file->loaded || defs == nullptr || count == nullptr)
        return 1;
    const std::size_t total = file->ins.definitionCount();
    if (total == 0 || total > static_cast<std::size_t>(INT_MAX))
        return 1;
    ZT_cwdef* array = allocateRecords<ZT_cwdef>(total);
    if (array == nullptr)
        return 1;
    for (std::size_t i = 0; i < total; ++i)
        quorvix::copyNameField(array[i].name, sizeof array[i].name, file->ins.definitionName(i));
    *defs = array;
    *count = static_cast<int>(total);
    return 0;
}

std::uint32_t ZT_CWInsSetDef(MIDIFile* file, int index)
{
    if (file == nullptr || !file->loaded || index < 0 ||
        static_cast<std::size_t>(index) >= file->ins.definitionCount())
        return 1;
    file->chosen = static_cast<std::size_t>(index);
    file->hasChoice = true;
    return 0;
}

std::uint32_t ZT_CWInsGetBankVoiceList(MIDIFile* file, char* /*text*/, ZT_cwbankvoice** voices, long* count)
{
    if (voices != nullptr)
        *voices = nullptr;
    if (count != nullptr)
        *count = 0;
    if (file == nullptr || !file->loaded || !file->hasChoice || voices == nullptr || count == nullptr)
        return 1;
    try {
        const std::vector<quorvix::Voice> list = file->ins.voices(file->chosen);
        // The caller keeps the count in a signed 32-bit field.
        if (list.size() > static_cast<std::size_t>(INT32_MAX))
            return 1;
        ZT_cwbankvoice* array = allocateRecords<ZT_cwbankvoice>(list.size());
        if (array == nullptr)
            return 1;
        for (std::size_t i = 0; i < list.size(); ++i) {
            array[i].bank = list[i].bank;
            array[i].program = list[i].program;
            quorvix::copyNameField(array[i].name, sizeof array[i].name, list[i].name);
        }
        *voices = array;
        *count = static_cast<long>(list.size());
        return 0;
    } catch (const std::bad_alloc&) {
        return 1;
    }
}
