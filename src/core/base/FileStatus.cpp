#include "base/FileStatus.h"

#include "base/PathText.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace quorvix {

namespace {

constexpr int kMaxLinks = 40; // as the kernel allows in one path

std::string inQuotes(const std::string& text)
{
    return '"' + text + '"';
}

} // namespace

ExistingFile examinePath(const std::string& path)
{
    ExistingFile result;
    if (path.empty())
        return result;
    // Links are followed one by one rather than by stat, so that a dangling one is told apart from a
    // missing file and the file it would create is known.
    fs::path current = pathFromText(path);
    bool viaLink = false;
    fs::file_status status;
    for (int links = 0;; ++links) {
        std::error_code ec;
        status = fs::symlink_status(current, ec);
        result.resolved = textFromPath(current);
        if (status.type() == fs::file_type::not_found) {
            result.kind = viaLink ? FileKind::DanglingLink : FileKind::None;
            return result;
        }
        if (ec) {
            result.kind = FileKind::Unknown;
            result.error = inQuotes(textFromPath(current)) + " cannot be examined: " + ec.message();
            return result;
        }
        if (!fs::is_symlink(status))
            break;
        if (links == kMaxLinks) {
            result.kind = FileKind::Unknown;
            result.error = inQuotes(path) + " leads through too many symbolic links: " +
                           std::make_error_code(std::errc::too_many_symbolic_link_levels).message();
            return result;
        }
        const fs::path target = fs::read_symlink(current, ec);
        if (ec) {
            result.kind = FileKind::Unknown;
            result.error =
                "the symbolic link " + inQuotes(textFromPath(current)) + " cannot be read: " + ec.message();
            return result;
        }
        current = target.is_absolute() ? target : current.parent_path() / target;
        viaLink = true;
    }

    if (fs::is_regular_file(status)) {
        result.kind = FileKind::Regular;
        std::error_code ec;
        const auto size = fs::file_size(current, ec);
        result.size = ec ? 0 : static_cast<long long>(size);
    } else if (fs::is_directory(status)) {
        result.kind = FileKind::Directory;
    } else {
        result.kind = FileKind::Special;
    }
    return result;
}

bool isPipeOrDevice(const std::string& path)
{
    std::error_code ec;
    const fs::file_status status = fs::status(pathFromText(path), ec);
    return !ec && fs::exists(status) && !fs::is_regular_file(status) && !fs::is_directory(status);
}

long long existingFileSize(const std::string& path)
{
    const ExistingFile existing = examinePath(path);
    return existing.exists() ? existing.size : -1;
}

} // namespace quorvix
