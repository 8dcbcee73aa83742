// libtimb_flv as a shared library: what its dynamic symbol table exports and
// imports, and what its constructor and destructor do when a process loads
// and unloads it (observed in child processes, so each load is the first).
#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "tests/support/flv_builder.h"

namespace {

std::string ReadFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Outcome {
    int status;
    std::string out, err;
};

Outcome RunCommand(const std::string &command) {
    fixture::TempFile out({}, ".out"), err({}, ".err");
    Outcome run;
    run.status = std::system((command + " >\"" + out.path + "\" 2>\"" + err.path + "\"").c_str());
    run.out = ReadFile(out.path);
    run.err = ReadFile(err.path);
    return run;
}

std::string Quoted(const std::string &text) { return "\"" + text + "\""; }

// The names of one nm listing, without their symbol versions.
std::set<std::string> SymbolNames(const std::string &listing) {
    std::set<std::string> names;
    std::istringstream lines(listing);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        std::string field, last;
        while (fields >> field)
            last = field;
        if (!last.empty())
            names.insert(last.substr(0, last.find('@')));
    }
    return names;
}

TEST(SharedLibrary, ExportsExactlyTheFourNames) {
    Outcome run = RunCommand(Quoted(NM_PROGRAM) + " -D --defined-only " + Quoted(TIMB_FLV_LIBRARY));
    ASSERT_EQ(run.status, 0) << run.err;
    std::set<std::string> expected = {"TIMB_FLV_StreamCreateFile", "TIMB_FLV_StreamCreateURL",
                                      "TIMB_FLV_StreamCreateFileUser", "TIMBplugin"};
    EXPECT_EQ(SymbolNames(run.out), expected) << run.out;
}

TEST(SharedLibrary, ImportsExactlyTheThreeHostSymbols) {
    Outcome run = RunCommand(Quoted(NM_PROGRAM) + " -D --undefined-only " + Quoted(TIMB_FLV_LIBRARY));
    ASSERT_EQ(run.status, 0) << run.err;
    std::set<std::string> host;
    for (const std::string &name : SymbolNames(run.out))
        if (name == "_" || name.compare(0, 4, "TIMB") == 0 || name.compare(0, 4, "Timb") == 0)
            host.insert(name);
    std::set<std::string> expected = {"TIMB_GetVersion", "TIMB_StreamCreateFileUser", "_"};
    EXPECT_EQ(host, expected) << run.out;
}

// Each line of the probe's output, by its first word.
std::map<std::string, std::string> Lines(const std::string &out) {
    std::map<std::string, std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        size_t space = line.find(' ');
        lines[line.substr(0, space)] = space == std::string::npos ? "" : line.substr(space + 1);
    }
    return lines;
}

std::string Hex(uint32_t value) {
    char text[16];
    snprintf(text, sizeof text, "%08x", value);
    return text;
}

std::string AudioLine(const fixture::Bytes &audio) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (uint8_t byte : audio)
        hash = (hash ^ byte) * 0x100000001b3ull;
    char text[64];
    snprintf(text, sizeof text, "%zu %016llx", audio.size(), (unsigned long long)hash);
    return text;
}

class LoadedLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        std::mt19937 random(31);
        tags = fixture::RandomTags(random, 60, 3000);
        file = std::make_unique<fixture::TempFile>(fixture::FileBytes(tags));
    }
    Outcome Probe(uint32_t version) {
        return RunCommand(Quoted(RECORDING_PROBE) + " " + Quoted(TIMB_FLV_LIBRARY) + " " + Hex(version) + " " +
                          Quoted(file->path));
    }
    std::vector<fixture::Tag> tags;
    std::unique_ptr<fixture::TempFile> file;
};

TEST_F(LoadedLibrary, VersionTwoFourLoadsOffersSettingsAndWithdrawsThemOnUnload) {
    for (uint32_t version : {0x02040000u, 0x0204FFFFu, 0x02040A0Bu}) {
        Outcome run = Probe(version);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(run.err, "") << Hex(version);
        std::map<std::string, std::string> lines = Lines(run.out);
        EXPECT_EQ(lines["load"], "TIMB_GetVersion ManageSettingsProc(0)") << Hex(version);
        EXPECT_EQ(lines["query0"], "set");
        EXPECT_EQ(lines["query1"], "set");
        EXPECT_EQ(lines["query2"], "null");
        EXPECT_EQ(lines["query4294967295"], "null");
        EXPECT_EQ(lines["info"], "02040000 1 13000 FLV AudioStream|*.flv");
        EXPECT_EQ(lines["settings"], "1");
        EXPECT_EQ(lines["setting11000"], "44100") << "load value";
        EXPECT_EQ(lines["setting11001"], "2") << "load value";
        EXPECT_EQ(lines["create"], "stream OpenFileSource QuerySourceFlags QuerySourceName TIMB_StreamCreateFileUser "
                                   "BindSourceToStream ReportErrorCode(0)");
        EXPECT_EQ(lines["audio"], AudioLine(fixture::AudioStream(tags)));
        EXPECT_EQ(lines["unload"], "ManageSettingsProc(1)") << Hex(version);
    }
}

TEST_F(LoadedLibrary, OtherVersionsGetTheMessageAndAnAddOnThatRefusesAllWork) {
    for (uint32_t version : {0x02030000u, 0x02050000u, 0x03040000u, 0x00000204u, 0x0203FFFFu}) {
        Outcome run = Probe(version);
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_NE(run.err.find("Incorrect TIMB.DLL version (2.4 is required)"), std::string::npos)
            << Hex(version) << ": " << run.err;
        EXPECT_NE(run.err.find("TIMB_FLV"), std::string::npos) << run.err;
        std::map<std::string, std::string> lines = Lines(run.out);
        EXPECT_EQ(lines["load"], "TIMB_GetVersion") << Hex(version);
        for (const char *query : {"query0", "query1", "query2", "query4294967295"})
            EXPECT_EQ(lines[query], "null") << Hex(version) << " " << query;
        EXPECT_EQ(lines.count("info"), 0u);
        EXPECT_EQ(lines["settings"], "0");
        EXPECT_EQ(lines["create"], "0") << "no call reaches TIMB";
        EXPECT_EQ(lines["unload"], "") << "detach removes nothing attach did not add";
    }
}

TEST(StandinHost, VersionSetBeforeLoadingDecidesWhetherThePluginLoads) {
    struct Case {
        uint32_t version;
        const char *plugin;
        const char *create;
        const char *after;
    };
    // A refused add-on calls nothing: the error code stays unset (-1); an
    // accepted one lets the host try to open the file, which fails with the
    // host's own code.
    const Case cases[] = {
        {0x02040000, "plugin loaded settings 1", "create 0 sources 0 error 40", "after settings 0"},
        {0x0204BEEF, "plugin loaded settings 1", "create 0 sources 0 error 40", "after settings 0"},
        {0x02050000, "plugin refused settings 0", "create 0 sources 0 error -1", "after settings 0"},
        {0x03040000, "plugin refused settings 0", "create 0 sources 0 error -1", "after settings 0"},
    };
    for (const Case &c : cases) {
        Outcome run = RunCommand(Quoted(STANDIN_PROBE) + " " + Quoted(TIMB_FLV_LIBRARY) + " " + Hex(c.version));
        ASSERT_EQ(run.status, 0) << run.out << run.err;
        EXPECT_EQ(run.out, std::string(c.plugin) + "\n" + c.create + "\n" + c.after + "\n") << Hex(c.version);
        bool refused = c.version >> 16 != 0x0204;
        EXPECT_EQ(run.err.find("Incorrect TIMB.DLL version (2.4 is required)") != std::string::npos, refused)
            << Hex(c.version) << ": " << run.err;
    }
}

} // namespace
