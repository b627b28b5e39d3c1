// Names of other files added by every writer (--controllers, --drum-notes), and to-csv's --what: what the
// written files hold, the warnings, and the usage errors.

#include "TestSupport.h"
#include "formats/csv/CsvTable.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <set>

using namespace quorvix;
using namespace quorvix::test;
namespace fs = std::filesystem;

namespace {

const std::vector<std::string> kEnv = {"SOURCE_DATE_EPOCH=0", "TZ=UTC"};

/// "cc N" and "nrpn N" of every control of the document's ControlNameLists.
std::set<std::string> documentControls(const std::string& document)
{
    pugi::xml_document xml;
    xml.load_string(document.c_str());
    std::set<std::string> found;
    for (const pugi::xpath_node control : xml.select_nodes("//ControlNameList/Control")) {
        const std::string type = control.node().attribute("Type").value();
        found.insert((type == "NRPN"  ? "nrpn "
                      : type == "RPN" ? "rpn "
                                      : "cc ") +
                     std::string(control.node().attribute("Number").value()));
    }
    return found;
}

/// "cc N" for every cc_msb, "nrpn N" for every nrpn_msb / nrpn_lsb that a midi.guide table names.
std::set<std::string> tableControls(const std::string& table)
{
    std::set<std::string> named;
    std::vector<std::string> header;
    csv::forEachRow(table, ',', [&](const csv::Row& row) {
        if (header.empty()) {
            header = row.cells;
            return true;
        }
        const auto cell = [&](std::string_view name) {
            const auto at = std::find(header.begin(), header.end(), name) - header.begin();
            return static_cast<std::size_t>(at) < row.cells.size() ? row.cells[static_cast<std::size_t>(at)]
                                                                   : std::string();
        };
        if (!cell("cc_msb").empty())
            named.insert("cc " + cell("cc_msb"));
        if (!cell("nrpn_msb").empty() || !cell("nrpn_lsb").empty())
            named.insert("nrpn " + std::to_string(std::atoi(cell("nrpn_msb").c_str()) * 128 +
                                                  std::atoi(cell("nrpn_lsb").c_str())));
        return true;
    });
    return named;
}

TEST(NameFiles, EveryMidiGuideTableGivesTheDocumentEveryNumberItNames)
{
    QUORVIX_REQUIRE_CORPUS(corpus);
    std::size_t tables = 0;
    for (const auto& entry : fs::recursive_directory_iterator(corpus / "midiguide")) {
        const std::string path = entry.path().string();
        if (entry.path().extension() != ".csv" || path.ends_with(".triggers.csv"))
            continue;
        SCOPED_TRACE(path);
        const RunResult run = runConvert({"to-midnam", (dataDir() / "ins-synth.ins").string(), "--index", "0",
                                          "--controllers", path, "-o", "-"},
                                         {}, kEnv);
        ASSERT_EQ(run.status, 0) << describe(run);
        const std::set<std::string> written = documentControls(run.out);
        for (const std::string& named : tableControls(readFile(entry.path())))
            EXPECT_EQ(written.count(named), 1u) << named;
        ++tables;
    }
    EXPECT_EQ(tables, 25u); // 30 tables, 5 of them triggers
}

TEST(NameFiles, EveryWriterTakesNamesOfOtherFilesAndSaysWhatItDidWithThem)
{
    TempDir dir;
    const std::string controls = (dir / "controls.csv").string();
    writeFile(controls, "device,type,number,name\nX,cc,7,Level\nX,nrpn,300,Drive\n");
    const std::string kits = (dir / "kits.csv").string();
    writeFile(kits, "device,list,note,name\nX,Std,36,Bass Drum\nX,Std,40,Clap\nX,Room,36,Room\n");
    const std::string synth = (dataDir() / "ins-synth.ins").string();
    const std::string script = (dataDir() / "script-synth.txt").string();
    const std::string insWarnings = synth +
                                    ":11: warning: number 1 of patch list \"Bank A\" is given again (first "
                                    "at line 9); the later name is used\n" +
                                    synth +
                                    ":34: warning: patch list \"Missing\" of Patch[128] is not defined\n" +
                                    synth + ":35: warning: unknown key \"FooBar\" ignored\n";
    const struct
    {
        const char* what;
        std::vector<std::string> args;
        int status;
        std::string out; ///< a part of what is written
        std::string err;
    } cases[] = {
        {"controller names into a document",
         {"to-midnam", synth, "--index", "0", "--controllers", controls, "-o", "-"},
         0,
         "<Control Type=\"NRPN\" Number=\"300\" Name=\"Drive\"/>",
         insWarnings},
        {"drum notes into the definition's drum kit, its own names kept",
         {"to-csv", synth, "--index", "0", "--what", "notes", "--drum-notes", kits, "-o", "-"},
         0,
         "Synth One,Kit,36,Kick\r\nSynth One,Kit,40,Clap\r\n",
         insWarnings + kits + ": warning: holds 2 note lists; those of \"Std\" are added\n" + kits +
             ": warning: 1 of the notes it names is named otherwise by the written definition; the "
             "definition's "
             "names are kept\n"},
        {"a definition without drum voices gets a list no patch uses",
         {"to-cakewalk", script, "--drum-notes", kits, "--controllers", controls, "-o", "-"},
         0,
         "[Std]\r\n36=Bass Drum\r\n40=Clap\r\n",
         kits + ": warning: holds 2 note lists; those of \"Std\" are added\n" + kits +
             ": warning: \"Synth Alpha\" has no patch with drum-note names: the notes are added as a list "
             "that no patch uses\n" +
             script +
             ": warning: device \"Synth Alpha\": 1 note name list that no patch uses is written in the list "
             "sections, where no definition uses it: \"Std\"\n"},
        {"a script holds patch names only",
         {"to-cubase", synth, "--index", "0", "--controllers", controls, "-o", "-"},
         0,
         "[cubase parse file]",
         controls +
             ": warning: its names are not written: to-cubase writes a Cubase patchname script, which holds "
             "patch names only\n" +
             insWarnings},
        {"a file without such names",
         {"to-midnam", synth, "--index", "0", "--controllers", kits, "-o", "-"},
         1,
         "",
         insWarnings + "quorvix-convert: error: " + kits + ": holds no controller, RPN or NRPN names\n"},
        {"--what takes its three values only",
         {"to-csv", synth, "--what", "drums"},
         2,
         "",
         "quorvix-convert: error: --what takes voices, notes or controllers, not \"drums\"\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const RunResult run = runConvert(c.args, dir.path(), kEnv);
        EXPECT_EQ(run.status, c.status) << describe(run);
        EXPECT_NE(run.out.find(c.out), std::string::npos) << run.out;
        EXPECT_EQ(run.err, c.err);
    }
}

} // namespace
