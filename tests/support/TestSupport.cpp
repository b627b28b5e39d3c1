#include "TestSupport.h"

#include "base/PathText.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <sstream>
#include <stdexcept>
#include <thread>

#if defined(_WIN32)
#include <windows.h>
#else
#include <fcntl.h>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace quorvix::test {

ZT_cwbankvoice makeVoice(std::int32_t bank, std::int32_t program, std::string_view name)
{
    ZT_cwbankvoice voice{};
    voice.bank = bank;
    voice.program = program;
    std::memcpy(voice.name, name.data(), std::min(name.size(), sizeof voice.name - 1));
    return voice;
}

fs::path dataDir()
{
    return QUORVIX_TEST_DATA_DIR;
}

std::optional<fs::path> corpusDir()
{
    std::error_code ec;
    fs::path dir = QUORVIX_CORPUS_DIR;
    if (fs::is_directory(dir, ec))
        return fs::canonical(dir, ec);
    return std::nullopt;
}

fs::path convertExe()
{
    return QUORVIX_CONVERT_EXE;
}

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + path.string());
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeFile(const fs::path& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

std::set<std::string> entriesOf(const std::filesystem::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.insert(textFromPath(entry.path().filename()));
    return names;
}

std::vector<std::string> splitCrLf(std::string_view bytes)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < bytes.size()) {
        const auto end = bytes.find("\r\n", start);
        if (end == std::string_view::npos)
            throw std::runtime_error("text does not end with CR LF");
        lines.emplace_back(bytes.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

TempDir::TempDir()
{
    static std::atomic<unsigned> counter{0};
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        auto candidate = fs::temp_directory_path() /
                         ("quorvix-test-" + std::to_string(random()) + "-" + std::to_string(counter++));
        std::error_code ec;
        if (fs::create_directory(candidate, ec)) {
            m_path = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code ec;
    // Restore write permission on anything a test locked, so that removal succeeds.
    for (auto it = fs::recursive_directory_iterator(m_path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_directory(ec) && !it->is_symlink(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    }
    fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(m_path, ec);
}

#if !defined(_WIN32)
RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const fs::path& workingDir, const std::vector<std::string>& environment,
                     const std::function<void()>& inChild)
{
    // Output goes to temporary files, so that a large output can never block the child.
    TempDir io;
    const auto outPath = io / "stdout";
    const auto errPath = io / "stderr";
    const std::string& exe = program;

    const pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0)
            ::_exit(127);
        ::dup2(in, 0);
        ::dup2(out, 1);
        ::dup2(err, 2);
        if (!workingDir.empty() && ::chdir(workingDir.c_str()) != 0)
            ::_exit(127);
        for (const auto& entry : environment)
            ::putenv(const_cast<char*>(entry.c_str()));
        if (inChild)
            inChild();
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(exe.c_str()));
        for (const auto& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execvp(exe.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
    }
    RunResult result;
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}
#else
namespace {

/// One argument as the C runtime's command-line parser reads it back.
std::wstring quotedArgument(const std::wstring& argument)
{
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring quoted = L"\"";
    std::size_t backslashes = 0;
    for (const wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        // Backslashes are doubled only before a quote (and before the closing one).
        quoted.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

HANDLE inheritableFile(const fs::path& path, DWORD access, DWORD disposition)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

RunResult runProgram(const std::string& program, const std::vector<std::string>& args,
                     const fs::path& workingDir, const std::vector<std::string>& environment,
                     const std::function<void()>& inChild)
{
    if (inChild)
        throw std::runtime_error("runProgram: code to run in the child needs a POSIX system");
    TempDir io;
    const auto outPath = io / "stdout";
    const auto errPath = io / "stderr";
    std::wstring commandLine =
        quotedArgument(fs::path(std::u8string(program.begin(), program.end())).wstring());
    for (const auto& arg : args)
        commandLine += L" " + quotedArgument(fs::path(std::u8string(arg.begin(), arg.end())).wstring());

    // The program's environment: the extra entries, then this process's entries that they do not name.
    std::wstring block;
    std::vector<std::wstring> names;
    for (const auto& entry : environment) {
        const std::wstring wideEntry = fs::path(std::u8string(entry.begin(), entry.end())).wstring();
        names.push_back(wideEntry.substr(0, wideEntry.find(L'=') + 1));
        block += wideEntry;
        block += L'\0';
    }
    wchar_t* current = GetEnvironmentStringsW();
    for (const wchar_t* entry = current; *entry != L'\0'; entry += wcslen(entry) + 1) {
        const std::wstring text(entry);
        if (std::none_of(names.begin(), names.end(), [&](const std::wstring& name) {
                return _wcsnicmp(text.c_str(), name.c_str(), name.size()) == 0;
            }))
            block += text + L'\0';
    }
    FreeEnvironmentStringsW(current);
    block += L'\0';

    const HANDLE in = inheritableFile(L"NUL", GENERIC_READ, OPEN_EXISTING);
    const HANDLE out = inheritableFile(outPath, GENERIC_WRITE, CREATE_ALWAYS);
    const HANDLE err = inheritableFile(errPath, GENERIC_WRITE, CREATE_ALWAYS);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                       block.data(), workingDir.empty() ? nullptr : workingDir.c_str(), &startup, &process);
    CloseHandle(in);
    CloseHandle(out);
    CloseHandle(err);
    if (!started) {
        RunResult missing;
        missing.status = 127; // as a shell reports a program it cannot start
        return missing;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    RunResult result;
    result.status = static_cast<int>(code);
    result.out = readFile(outPath);
    result.err = readFile(errPath);
    return result;
}
#endif

RunResult runConvert(const std::vector<std::string>& args, const fs::path& workingDir,
                     const std::vector<std::string>& environment, const std::function<void()>& inChild)
{
    return runProgram(convertExe().string(), args, workingDir, environment, inChild);
}

void onSmallStack(const std::function<void()>& body)
{
#if defined(_WIN32)
    std::thread(body).join();
#else
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, std::size_t{256} << 10);
    pthread_t thread;
    auto run = [](void* function) -> void* {
        (*static_cast<const std::function<void()>*>(function))();
        return nullptr;
    };
    if (pthread_create(&thread, &attributes, run, const_cast<std::function<void()>*>(&body)) != 0)
        throw std::runtime_error("cannot start a thread");
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attributes);
#endif
}

std::string describe(const RunResult& run)
{
    return "status " + std::to_string(run.status) + "\nstdout: " + run.out.substr(0, 2000) +
           "\nstderr: " + run.err.substr(0, 2000);
}

std::string inChild(bool unprivileged, const std::function<std::string()>& body)
{
#if defined(_WIN32)
    (void)unprivileged;
    return body();
#else
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        throw std::runtime_error("pipe failed");
    const pid_t pid = fork();
    if (pid == 0) {
        close(pipeFds[0]);
        if (unprivileged && geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(99);
        const std::string text = body();
        _exit(write(pipeFds[1], text.data(), text.size()) == static_cast<ssize_t>(text.size()) ? 0 : 98);
    }
    close(pipeFds[1]);
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<std::size_t>(n));
    close(pipeFds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? text : "child failed";
#endif
}

} // namespace quorvix::test
