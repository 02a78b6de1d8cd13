#pragma once
// The command line's parser as plain data: every command with its options and arguments, in the
// order --help shows them. The manual page and the completions are written from it.

#include <CLI/CLI.hpp>
#include <string>
#include <vector>

namespace brivio::manual {

// What a shell offers for a value: nothing, files, folders, the displays, or fixed words.
struct ValueCompletion {
    bool files = false;
    bool folders = false;
    bool displays = false;
    std::vector<std::string> words;
};

struct OptionInfo {
    std::vector<std::string> names; // "-v", "--verbose"
    std::string valueName;          // empty for a flag
    std::string description;
    ValueCompletion completion;
};

struct ArgumentInfo {
    std::string name;
    std::string description;
    bool required = false;
    bool repeats = false;
    ValueCompletion completion;
};

struct CommandInfo {
    std::vector<std::string> path; // empty for the program itself
    std::string description;
    std::vector<OptionInfo> options;
    std::vector<ArgumentInfo> arguments;
    std::vector<std::string> subcommands;

    std::string joinedPath() const;
};

// The program first, then every command depth first, in the order they were added.
std::vector<CommandInfo> readCommandTree(const CLI::App& app);

// "brightness, contrast or volume" → the words; "on | off | levels NIGHT DAY" → on, off, levels. A
// description that is not such a list gives nothing.
std::vector<std::string> choiceWords(const std::string& description);

} // namespace brivio::manual
