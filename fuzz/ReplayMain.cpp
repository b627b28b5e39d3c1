// Feeds files to a fuzz target without libFuzzer, so that the targets build with any compiler and every
// input that ever failed can be replayed as a test.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace fs = std::filesystem;

static bool replay(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot read %s\n", file.string().c_str());
        return false;
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    return true;
}

int main(int argc, char** argv)
{
    int count = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        const fs::path path = argv[i];
        if (fs::is_directory(path, ec)) {
            for (const auto& entry : fs::recursive_directory_iterator(path, ec)) {
                if (entry.is_regular_file(ec)) {
                    ok = replay(entry.path()) && ok;
                    ++count;
                }
            }
        } else {
            ok = replay(path) && ok;
            ++count;
        }
    }
    std::printf("replayed %d inputs\n", count);
    return ok ? 0 : 1;
}
