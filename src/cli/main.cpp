#include "CliSupport.h"
#include "Commands.h"
#include "QuorvixVersion.h"
#include "base/Platform.h"
#include "base/TemporaryFiles.h"

#include <exception>
#include <new>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    using namespace quorvix::cli;
    quorvix::removeTemporaryFilesOnSignals();
    // Converted text goes to standard output byte for byte; messages keep their LF line ends too.
    quorvix::platform::useBinaryMode(stdout);
    quorvix::platform::useBinaryMode(stderr);

    CLI::App app{
        "Converts MIDI instrument data (patch names per bank, drum-kit note names, controller names) "
        "between " +
            quorvix::listedFormats(&quorvix::FormatRow::plural, " and ") +
            ". Every input is recognised by its content, whatever its name.",
        "quorvix-convert"};
    app.set_version_flag("--version", std::string("quorvix-convert ") + QUORVIX_VERSION);
    app.require_subcommand(1);
    app.footer("Examples:\n"
               "  quorvix-convert list Synth.ins\n"
               "  quorvix-convert to-cubase Synth.ins --definition \"My Synth\" -o MySynth.txt\n"
               "  quorvix-convert to-cakewalk MySynth.txt --name \"My Synth\" -o MySynth.ins");

    setupListCommand(app);
    setupShowCommand(app);
    setupCheckCommand(app);
    for (const quorvix::FormatRow& row : quorvix::formatTable())
        if (!row.writer.command.empty())
            setupWriterCommand(app, row);

    try {
        // Paths are UTF-8 inside the program, whatever code page the system's argv is in.
        std::vector<std::string> arguments = quorvix::platform::commandLineArguments(argc, argv);
        std::vector<char*> pointers;
        for (std::string& argument : arguments)
            pointers.push_back(argument.data());
        app.parse(static_cast<int>(pointers.size()), pointers.data());
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kExitUsage;
    } catch (const CommandExit& e) {
        return e.status;
    } catch (const std::bad_alloc&) {
        printError("not enough memory for the conversion");
        return kExitFailure;
    } catch (const std::exception& e) {
        printError(e.what());
        return kExitFailure;
    }
    return kExitOk;
}
