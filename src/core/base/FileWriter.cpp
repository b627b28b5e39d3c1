#include "base/FileWriter.h"

#include "base/PathText.h"
#include "base/Platform.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace quorvix {

namespace {

std::string inQuotes(const std::string& text)
{
    return '"' + text + '"';
}

std::string because(const std::string& what, const std::error_code& reason)
{
    return what + ": " + reason.message();
}

/// A folder as messages name it: the current folder by its full path.
std::string quotedFolder(const std::string& folder)
{
    if (!folder.empty())
        return inQuotes(folder);
    std::error_code ignored;
    return inQuotes(textFromPath(fs::current_path(ignored)));
}

/// Why no temporary file could be made in the folder, in the folder's terms: the folder is what the user
/// has to fix.
std::string folderFailure(const std::string& folder, const std::error_code& reason)
{
    const std::string name = quotedFolder(folder);
    if (reason == std::errc::permission_denied || reason == std::errc::operation_not_permitted ||
        reason == std::errc::read_only_file_system)
        return because("the folder " + name + " cannot be written", reason);
    // Windows reports a file standing where the folder should be as a path that is not found.
    if (reason == std::errc::not_a_directory ||
        (reason == std::errc::no_such_file_or_directory && examinePath(folder).kind == FileKind::Regular))
        return because(name + " is not a folder", std::make_error_code(std::errc::not_a_directory));
    if (reason == std::errc::no_such_file_or_directory)
        return because("the folder " + name + " does not exist", reason);
    if (reason == std::errc::file_exists)
        return because("no unused temporary name was found in the folder " + name, reason);
    return because("no temporary file can be made in the folder " + name, reason);
}

/// Why the finished file could not take its name. A file that another program holds open (Windows) is
/// named as the cause, with the remedy.
std::string renameFailure(bool replacing, const std::string& folder, const std::error_code& reason)
{
    if (replacing && platform::isHeldOpenElsewhere(reason))
        return "the old file is open in another program; close it there and save again";
    return because((replacing ? "the new file cannot take the old one's place in the folder "
                              : "the new file cannot be given its name in the folder ") +
                       quotedFolder(folder),
                   reason);
}

} // namespace

struct AtomicFile::Impl
{
    std::string target; // the file to replace, links followed
    std::string folder; // its folder; empty for the current one
    TemporaryFile temporary;
    int fd = -1;
    bool open = false;
    bool inPlace = false;   // a device or FIFO, written directly
    bool replacing = false; // an old file is there
    bool replaceAppeared = false;
    bool appeared = false; // another program made the target meanwhile
    platform::KeptAttributes kept;
    std::string buffer;
    std::string error;

    bool fail(std::string message)
    {
        error = std::move(message);
        return false;
    }

    bool writeDirectly(std::string_view bytes)
    {
        std::error_code reason;
        return platform::writeAll(fd, bytes, reason) || fail(because("writing the data failed", reason));
    }

    bool flush()
    {
        if (!error.empty())
            return false;
        const bool ok = buffer.empty() || writeDirectly(buffer);
        buffer.clear();
        return ok;
    }
};

AtomicFile::AtomicFile() : m_impl(std::make_unique<Impl>()) {}

AtomicFile::~AtomicFile()
{
    discard();
}

bool AtomicFile::open(const std::string& path, bool replaceAppeared)
{
    discard();
    Impl& s = *m_impl;
    s.error.clear();
    s.appeared = false;
    s.replaceAppeared = replaceAppeared;
    if (path.empty())
        return s.fail("no file name given");

    const ExistingFile existing = examinePath(path);
    switch (existing.kind) {
    case FileKind::DanglingLink:
        // Creating the file the link names would let a link planted in a shared folder choose where we write.
        return s.fail(inQuotes(path) + " is a symbolic link to " + inQuotes(existing.resolved) +
                      ", which does not exist; not writing through it");
    case FileKind::Unknown:
        return s.fail(existing.error);
    case FileKind::Directory:
        return s.fail(because("it is a folder", std::make_error_code(std::errc::is_a_directory)));
    case FileKind::Special: {
        // Renaming over a device or FIFO would replace the node itself.
        std::error_code reason;
        s.fd = platform::openInPlace(existing.resolved, reason);
        if (s.fd < 0)
            return s.fail(because("it cannot be opened for writing", reason));
        s.inPlace = s.open = true;
        return true;
    }
    case FileKind::Regular: {
        // Windows refuses to replace a file marked read-only; saying so first keeps the reason plain.
        if (platform::isMarkedReadOnly(existing.resolved))
            return s.fail(
                because("it is marked read-only", std::make_error_code(std::errc::permission_denied)));
        std::error_code reason;
        if (!platform::readKeptAttributes(existing.resolved, s.kept, reason))
            return s.fail(because("the permissions of the old file cannot be read", reason));
        s.replacing = true;
        break;
    }
    case FileKind::None:
        break;
    }

    s.target = existing.resolved;
    s.folder = textFromPath(pathFromText(existing.resolved).parent_path());
    std::error_code reason;
    if (!s.temporary.create(s.folder, reason))
        return s.fail(folderFailure(s.folder, reason));
    s.fd = s.temporary.descriptor();
    s.open = true;
    return true;
}

void AtomicFile::write(std::string_view bytes)
{
    Impl& s = *m_impl;
    if (!s.open || !s.error.empty())
        return;
    if (s.buffer.size() + bytes.size() < kBlockSize) {
        s.buffer.append(bytes);
        return;
    }
    if (!s.flush())
        return;
    if (bytes.size() >= kBlockSize)
        s.writeDirectly(bytes);
    else
        s.buffer.append(bytes);
}

bool AtomicFile::commit()
{
    Impl& s = *m_impl;
    if (!s.open)
        return s.error.empty() ? s.fail("no file is open") : false;
    bool ok = s.flush();
    std::error_code reason;
    if (s.inPlace) {
        if (!platform::closeFile(std::exchange(s.fd, -1), reason) && ok)
            ok = s.fail(because("writing the data failed", reason));
        discard();
        return ok;
    }

    // The data reaches the disk before the rename, so that a crash cannot leave an empty file in place of
    // the old one. A new file replaces nothing, and syncing each of many new files (one script per
    // definition) would cost far more than the conversion.
    if (ok && s.replacing && !platform::applyKeptAttributes(s.fd, s.kept, reason))
        ok = s.fail(because("the new file cannot take the old one's permissions", reason));
    if (ok && s.replacing && !platform::syncToDisk(s.fd, reason))
        ok = s.fail(because("the data cannot be flushed to the disk", reason));
    if (ok && !s.temporary.close(reason))
        ok = s.fail(because("writing the data failed", reason));
    // Looking whether the target is free and taking its name are two steps; without leave to replace, the
    // rename itself refuses a file that another program made in between.
    const bool mayReplace = s.replacing || s.replaceAppeared;
    if (ok && !s.temporary.renameTo(s.target, mayReplace, reason)) {
        s.appeared = !mayReplace && reason == std::errc::file_exists;
        ok = s.fail(s.appeared
                        ? because("another program made the file meanwhile; it was not replaced", reason)
                        : renameFailure(s.replacing, s.folder, reason));
    }
    discard();
    return ok;
}

void AtomicFile::discard()
{
    Impl& s = *m_impl;
    std::error_code ignored;
    if (s.inPlace && s.fd >= 0)
        platform::closeFile(s.fd, ignored);
    s.temporary.remove();
    s.fd = -1;
    s.open = s.inPlace = s.replacing = false;
    s.buffer = std::string();
}

const std::string& AtomicFile::error() const
{
    return m_impl->error;
}

bool AtomicFile::targetAppeared() const
{
    return m_impl->appeared;
}

WriteResult writeAtomically(const std::string& path, const std::function<bool(OutputSink&)>& produce,
                            bool replaceAppeared)
{
    AtomicFile file;
    if (!file.open(path, replaceAppeared))
        return {false, file.error()};
    if (!produce(file)) {
        file.discard();
        return {false, file.error().empty() ? "writing was stopped before the end" : file.error()};
    }
    if (!file.commit())
        return {false, file.error(), file.targetAppeared()};
    return {true, {}};
}

WriteResult writeLinesAtomically(const std::string& path, const TextLines& lines)
{
    return writeAtomically(path, [&](OutputSink& sink) {
        for (const auto& line : lines) {
            sink.write(line);
            sink.write("\r\n");
        }
        return true;
    });
}

} // namespace quorvix
