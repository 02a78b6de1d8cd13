#include "brivioctl/CommandLine.h"
#include "manual/CommandTree.h"
#include "manual/ManPage.h"
#include "support/TestSupport.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace brivio::manual {
namespace {

namespace fs = std::filesystem;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

const fs::path manualDir = BRIVIO_MANUAL_DIR;

std::string readText(const fs::path& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Runs `command` through sh; its standard output, with standard error too when `withErrors`.
std::string run(const std::string& command, bool withErrors = false) {
    std::string out;
    FILE* pipe = ::popen((command + (withErrors ? " 2>&1" : " 2>/dev/null")).c_str(), "r");
    if (!pipe)
        return out;
    std::array<char, 4096> buffer;
    while (std::size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
        out.append(buffer.data(), n);
    ::pclose(pipe);
    return out;
}

bool have(const std::string& program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            if (!line.empty())
                out.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    return out;
}

// What bash's completion offers for the words typed so far; the last word is the one being completed.
std::vector<std::string> bashOffers(const std::string& typed) {
    std::string script = "source '" + (manualDir / "brivioctl.bash").string() + "'; " + "COMP_WORDS=(" +
                         typed + "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); " + "[[ '" + typed +
                         "' == *' ' ]] && COMP_WORDS+=('') && COMP_CWORD=$((COMP_CWORD + 1)); " +
                         "_brivioctl; printf '%s\\n' \"${COMPREPLY[@]}\" | sort -u";
    std::ofstream(manualDir / "bash-test.sh") << script;
    return lines(run("bash " + (manualDir / "bash-test.sh").string()));
}

TEST(Manual, RoffShowsTextAsWritten) {
    EXPECT_EQ(roffText("--sim FILE"), "\\-\\-sim FILE");
    EXPECT_EQ(roffText("a\\b"), "a\\eb");
    EXPECT_EQ(roffText(".hidden\n'quoted"), "\\&.hidden\n\\&'quoted");
    EXPECT_EQ(roffText("not loaded \xE2\x80\x94 run"), "not loaded \\[u2014] run");
    EXPECT_EQ(roffText("cut \xE2\x80"), "cut \\[uFFFD]");
}

TEST(Manual, ChoicesAreReadOnlyFromPlainLists) {
    EXPECT_THAT(choiceWords("brightness, contrast or volume"),
                ElementsAre("brightness", "contrast", "volume"));
    EXPECT_THAT(choiceWords("0, 90, 180 or 270"), ElementsAre("0", "90", "180", "270"));
    EXPECT_THAT(choiceWords("on | off | levels NIGHT DAY"), ElementsAre("on", "off", "levels"));
    EXPECT_THAT(choiceWords("Name or id"), IsEmpty());
    EXPECT_THAT(choiceWords("Stable key, number from 'list', or all"), IsEmpty());
    EXPECT_THAT(choiceWords("up"), IsEmpty());
}

// Every command and option of the real parser is in the page, so one added tomorrow is too.
TEST(Manual, CommandLinePageHasEveryCommandAndOption) {
    cli::CommandLine commandLine;
    auto tree = readCommandTree(commandLine.app);
    std::string page = readText(manualDir / "brivioctl.1");
    ASSERT_FALSE(page.empty());
    ASSERT_GT(tree.size(), 20u);
    for (const auto& command : tree) {
        if (!command.path.empty()) {
            EXPECT_THAT(page, HasSubstr(".SS \"" + roffText(command.joinedPath()) + "\"\n"));
        }
        for (const auto& option : command.options)
            for (const auto& name : option.names)
                EXPECT_THAT(page, HasSubstr("\\fB" + roffText(name) + "\\fR")) << command.joinedPath();
        for (const auto& argument : command.arguments)
            EXPECT_THAT(page, HasSubstr("\\fI" + argument.name + "\\fR")) << command.joinedPath();
    }
    for (std::string section : {"EXIT STATUS", "ENVIRONMENT", "FILES", "DDC/CI ACCESS"})
        EXPECT_THAT(page, HasSubstr(".SH " + section + "\n"));
    EXPECT_THAT(readText(manualDir / "brivio.1"), HasSubstr("\\fB\\-\\-screenshot\\fR \\fIDIR\\fR"));
}

TEST(Manual, PagesFormatWithoutWarnings) {
    if (!have("man"))
        GTEST_SKIP() << "man is not installed";
    for (std::string page : {"brivio.1", "brivioctl.1"}) {
        auto warnings = run("LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z '" +
                                (manualDir / page).string() + "' 2>&1 >/dev/null",
                            true);
        EXPECT_EQ(warnings, "") << page;
    }
}

TEST(Completions, BashOffersCommandsOptionsWordsAndDisplays) {
    if (!have("bash"))
        GTEST_SKIP() << "bash is not installed";
    EXPECT_THAT(bashOffers("brivioctl pre"), ElementsAre("preset"));
    EXPECT_THAT(bashOffers("brivioctl preset "), ElementsAre("apply", "delete", "list", "save"));
    EXPECT_THAT(bashOffers("brivioctl set 2 "), ElementsAre("brightness", "contrast", "volume"));
    // Options of the command, then the program's, which may follow the command.
    auto options = bashOffers("brivioctl list --");
    EXPECT_THAT(options, ::testing::Contains("--json"));
    EXPECT_THAT(options, ::testing::Contains("--sim"));
    // The value of an option is not taken for the command.
    EXPECT_THAT(bashOffers("brivioctl --advance 10m ste"), ElementsAre("step"));

    // On a simulated desk: every display by number and by key, and all where a command takes it.
    std::string desk = (fs::path(testing::sourceDir()) / "examples" / "desk.json").string();
    auto list = run(std::string(BRIVIOCTL_PATH) + " --sim " + desk + " --config " +
                    testing::TempDir().path() + " list --json");
    std::vector<std::string> expected{"1", "2", "3", "all"};
    for (const auto& line : lines(list))
        if (auto at = line.find("\"stableKey\": \""); at != std::string::npos)
            expected.push_back(line.substr(at + 14, line.find('"', at + 14) - at - 14));
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(expected.size(), 7u) << list;
    EXPECT_THAT(bashOffers(std::string(BRIVIOCTL_PATH) + " --sim " + desk + " get "),
                ElementsAreArray(expected));
    expected.erase(std::find(expected.begin(), expected.end(), "all"));
    EXPECT_THAT(bashOffers(std::string(BRIVIOCTL_PATH) + " --sim " + desk + " input "),
                ElementsAreArray(expected));

    // On this desktop: the numbers of the connected connectors under the sysfs root.
    testing::TempDir sys;
    for (auto [name, status] : {std::pair{"card0-DP-1", "connected"},
                                {"card0-DP-2", "disconnected"},
                                {"card0-HDMI-A-1", "connected"}}) {
        fs::create_directories(fs::path(sys.path()) / "class" / "drm" / name);
        std::ofstream(fs::path(sys.path()) / "class" / "drm" / name / "status") << status << "\n";
    }
    EXPECT_THAT(bashOffers("brivioctl --sysfs " + sys.path() + " power-off "), ElementsAre("1", "2"));
}

TEST(Completions, ZshAndFishOfferTheSame) {
    testing::TempDir sys;
    for (std::string name : {"card0-DP-1", "card0-HDMI-A-1"}) {
        fs::create_directories(fs::path(sys.path()) / "class" / "drm" / name);
        std::ofstream(fs::path(sys.path()) / "class" / "drm" / name / "status") << "connected\n";
    }
    if (have("zsh")) {
        auto script = (manualDir / "_brivioctl").string();
        EXPECT_EQ(run("zsh -n '" + script + "'", true), "");
        // Outside a completion the script's last call fails; its helpers stay defined.
        EXPECT_THAT(lines(run("zsh -fc \"source '" + script +
                              "' 2>/dev/null; _brivioctl_displays brivioctl '' '" + sys.path() + "'\"")),
                    ElementsAre("1", "2"));
    }
    if (!have("fish"))
        GTEST_SKIP() << "fish is not installed";
    auto script = (manualDir / "brivioctl.fish").string();
    EXPECT_EQ(run("fish -n '" + script + "'", true), "");
    auto offers = [&](const std::string& typed) {
        return lines(run("fish -c \"source '" + script + "'; complete -C '" + typed + "'\" | sort", true));
    };
    EXPECT_THAT(offers("brivioctl preset "), ElementsAre("apply", "delete", "list", "save"));
    EXPECT_THAT(offers("brivioctl step "), ElementsAre("down", "up"));
    EXPECT_THAT(offers("brivioctl --sysfs " + sys.path() + " sync "), ElementsAre("1", "2", "off"));
}

} // namespace
} // namespace brivio::manual
