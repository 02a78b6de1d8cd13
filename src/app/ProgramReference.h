#pragma once
// What the manual pages and --help say about a program beyond its parser's options: its exit
// statuses, files, environment and longer sections, and for the agent its option table too.

#include <string>
#include <vector>

namespace brivio {

struct ReferenceItem {
    std::string term;
    std::string text;
};

// One option of the agent: `shortName` may be empty; `valueName` is empty for a flag.
struct OptionEntry {
    std::string shortName;
    std::string longName;
    std::string valueName;
    std::string description;
};

struct ReferenceSection {
    std::string title;
    std::vector<std::string> paragraphs;
};

struct ProgramReference {
    std::string name;
    // The one line of the manual's NAME section.
    std::string summary;
    std::vector<std::string> description;
    // The agent's options; the command line's come from its own parser.
    std::vector<OptionEntry> options;
    // Sections after the options and commands.
    std::vector<ReferenceSection> sections;
    std::vector<ReferenceItem> exitStatus;
    std::vector<ReferenceItem> environment;
    std::vector<ReferenceItem> files;
    std::vector<std::string> seeAlso;
};

const ProgramReference& agentReference();
const ProgramReference& commandLineReference();

// The last lines of --help: the exit statuses and where the manual is.
std::string helpFooter(const ProgramReference& reference);

} // namespace brivio
