#include "ManPage.h"

#include <algorithm>
#include <fmt/format.h>

namespace brivio::manual {

namespace {

// Decodes one UTF-8 sequence at `i`; a broken one reads as U+FFFD.
char32_t nextCodePoint(const std::string& text, std::size_t& i) {
    auto byte = static_cast<unsigned char>(text[i++]);
    int extra = byte >= 0xF0 ? 3 : byte >= 0xE0 ? 2 : byte >= 0xC0 ? 1 : 0;
    if (byte >= 0x80 && extra == 0)
        return 0xFFFD;
    char32_t code = extra == 0 ? byte : byte & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return 0xFFFD;
        code = (code << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    return code;
}

std::string upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
    return text;
}

std::string bold(const std::string& text) {
    return "\\fB" + roffText(text) + "\\fR";
}

std::string italic(const std::string& text) {
    return "\\fI" + roffText(text) + "\\fR";
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : roffText(text))
        out += c == '"' ? std::string("\\(dq") : std::string(1, c);
    return out + "\"";
}

std::string paragraph(const std::string& text) {
    return ".PP\n" + roffText(text) + "\n";
}

std::string header(const ProgramReference& reference, const std::string& version) {
    std::string out = fmt::format(".TH {} 1 \"\" {} \"User Commands\"\n", upper(reference.name),
                                  quoted("brivio " + version));
    // Paths and option names are not to be hyphenated, nor lines stretched around them.
    out += ".nh\n.ad l\n";
    out += ".SH NAME\n" + roffText(reference.name) + " \\- " + roffText(reference.summary) + "\n";
    return out;
}

std::string items(const std::string& title, const std::vector<ReferenceItem>& entries) {
    if (entries.empty())
        return {};
    std::string out = ".SH " + title + "\n";
    for (const auto& entry : entries)
        out += ".TP\n" + bold(entry.term) + "\n" + roffText(entry.text) + "\n";
    return out;
}

// Sections whose paragraphs are one command each are shown as examples, line by line.
std::string section(const ReferenceSection& s) {
    std::string out = ".SH " + roffText(s.title) + "\n";
    if (s.title == "EXAMPLES") {
        out += ".PP\n.nf\n.RS\n";
        for (const auto& line : s.paragraphs)
            out += roffText(line) + "\n";
        return out + ".RE\n.fi\n";
    }
    for (const auto& text : s.paragraphs)
        out += paragraph(text);
    return out;
}

std::string closing(const ProgramReference& reference) {
    std::string out;
    for (const auto& s : reference.sections)
        out += section(s);
    out += items("EXIT STATUS", reference.exitStatus);
    out += items("ENVIRONMENT", reference.environment);
    out += items("FILES", reference.files);
    if (!reference.seeAlso.empty()) {
        out += ".SH SEE ALSO\n";
        std::string line;
        for (const auto& page : reference.seeAlso) {
            auto open = page.find('(');
            line += (line.empty() ? "" : ", ") + bold(page.substr(0, open)) + roffText(page.substr(open));
        }
        out += line + "\n";
    }
    return out;
}

std::string optionTerm(const OptionInfo& option) {
    std::string term;
    for (const auto& name : option.names)
        term += (term.empty() ? "" : ", ") + bold(name);
    if (!option.valueName.empty())
        term += " " + italic(option.valueName);
    return term;
}

bool isHelp(const OptionInfo& option) {
    return std::find(option.names.begin(), option.names.end(), "--help") != option.names.end();
}

std::string usage(const CommandInfo& command) {
    std::string out = bold("brivioctl " + command.joinedPath());
    if (std::any_of(command.options.begin(), command.options.end(), [](auto& o) { return !isHelp(o); }))
        out += " [" + italic("OPTIONS") + "]";
    for (const auto& argument : command.arguments) {
        std::string name = italic(argument.name) + (argument.repeats ? roffText("...") : "");
        out += " " + (argument.required ? name : "[" + name + "]");
    }
    if (!command.subcommands.empty())
        out += " " + italic("COMMAND");
    return out;
}

} // namespace

std::string roffText(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        char32_t c = nextCodePoint(text, i);
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";
        else if (c == '\n')
            out += "\n";
        else if (c >= 0x80 || (c < 0x20 && c != '\t'))
            out += fmt::format("\\[u{:04X}]", static_cast<std::uint32_t>(c));
        else
            out += static_cast<char>(c);
        // A line that starts with a dot or a quote would be read as a request.
        if ((out.size() == 1 || (out.size() >= 2 && out[out.size() - 2] == '\n')) &&
            (out.back() == '.' || out.back() == '\''))
            out.insert(out.size() - 1, "\\&");
    }
    return out;
}

std::string agentManPage(const ProgramReference& reference, const std::string& version) {
    std::string out = header(reference, version);
    out += ".SH SYNOPSIS\n" + bold(reference.name) + " [" + italic("OPTIONS") + "]\n";
    out += ".SH DESCRIPTION\n";
    for (const auto& text : reference.description)
        out += paragraph(text);
    out += ".SH OPTIONS\n";
    for (const auto& entry : reference.options) {
        OptionInfo option;
        if (!entry.shortName.empty())
            option.names.push_back("-" + entry.shortName);
        option.names.push_back("--" + entry.longName);
        option.valueName = entry.valueName;
        out += ".TP\n" + optionTerm(option) + "\n" + roffText(entry.description) + "\n";
    }
    return out + closing(reference);
}

std::string commandLineManPage(const std::vector<CommandInfo>& commands, const ProgramReference& reference,
                               const std::string& version) {
    std::string out = header(reference, version);
    out += ".SH SYNOPSIS\n" + bold(reference.name) + " [" + italic("GLOBAL OPTIONS") + "] " +
           italic("COMMAND") + " [" + italic("ARGUMENTS") + "]\n";
    out += ".SH DESCRIPTION\n";
    for (const auto& text : reference.description)
        out += paragraph(text);
    if (!commands.empty()) {
        out += ".SH GLOBAL OPTIONS\n";
        for (const auto& option : commands.front().options)
            out += ".TP\n" + optionTerm(option) + "\n" + roffText(option.description) + "\n";
    }
    out += ".SH COMMANDS\n";
    for (std::size_t i = 1; i < commands.size(); ++i) {
        const auto& command = commands[i];
        out += ".SS " + quoted(command.joinedPath()) + "\n";
        out += usage(command) + "\n.br\n" + roffText(command.description) + "\n";
        for (const auto& argument : command.arguments)
            out += ".TP\n" + italic(argument.name) + "\n" + roffText(argument.description) + "\n";
        for (const auto& option : command.options)
            if (!isHelp(option))
                out += ".TP\n" + optionTerm(option) + "\n" + roffText(option.description) + "\n";
    }
    return out + closing(reference);
}

} // namespace brivio::manual
