#pragma once
// The whole command line: the global options and every command. The program parses it; the manual
// page and the shell completions are written from the same tree, so they cannot drift from it.

#include "CommandSet.h"

#include <CLI/CLI.hpp>
#include <string>

namespace brivio::cli {

struct CommandLine {
    CommandLine();
    CommandLine(const CommandLine&) = delete;
    CommandLine& operator=(const CommandLine&) = delete;

    CLI::App app;
    GlobalOptions options;
    std::string advance;
    int verbosity = 0;
    CommandSet commands;
};

} // namespace brivio::cli
