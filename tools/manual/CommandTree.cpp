#include "CommandTree.h"

#include <algorithm>
#include <cctype>

namespace brivio::manual {

namespace {

bool isWord(const std::string& token) {
    return !token.empty() && std::all_of(token.begin(), token.end(), [](unsigned char c) {
        return std::islower(c) || std::isdigit(c) || c == '-';
    });
}

bool isPlaceholder(const std::string& token) {
    return !token.empty() && std::all_of(token.begin(), token.end(), [](unsigned char c) {
        return std::isupper(c) || std::isdigit(c) || c == '_';
    });
}

std::vector<std::string> splitWords(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
        if (c == ' ') {
            if (!word.empty())
                words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    if (!word.empty())
        words.push_back(word);
    return words;
}

// The list's pieces: "a, b or c" and "a | b" are both lists.
std::vector<std::string> listPieces(std::string text) {
    for (std::string separator : {", or ", " or ", ", ", " | "}) {
        for (auto at = text.find(separator); at != std::string::npos; at = text.find(separator))
            text.replace(at, separator.size(), "\n");
    }
    std::vector<std::string> pieces;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

bool mentions(const std::string& text, const std::string& word) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return lower.find(word) != std::string::npos;
}

ValueCompletion argumentCompletion(const std::string& name, const std::string& description) {
    ValueCompletion completion;
    if (name == "DISPLAY" || description.rfind("A display", 0) == 0) {
        completion.displays = true;
        // "..., or all": the single words that may stand for displays.
        for (const auto& piece : listPieces(description))
            if (isWord(piece))
                completion.words.push_back(piece);
        return completion;
    }
    completion.words = choiceWords(description);
    if (completion.words.empty() && mentions(description, "file"))
        completion.files = true;
    return completion;
}

ValueCompletion optionCompletion(const std::string& valueName) {
    ValueCompletion completion;
    completion.files = valueName == "FILE";
    completion.folders = valueName == "DIR";
    return completion;
}

void readCommand(const CLI::App& app, std::vector<std::string> path, std::vector<CommandInfo>& out) {
    CommandInfo info;
    info.path = path;
    info.description = app.get_description();
    for (const CLI::Option* option : app.get_options()) {
        if (option->get_group().empty())
            continue; // hidden
        if (option->get_positional()) {
            ArgumentInfo argument;
            argument.name = option->get_name(true);
            argument.description = option->get_description();
            argument.required = option->get_required();
            argument.repeats = option->get_items_expected_max() > 1;
            argument.completion = argumentCompletion(argument.name, argument.description);
            info.arguments.push_back(std::move(argument));
            continue;
        }
        OptionInfo entry;
        for (const auto& name : option->get_snames())
            entry.names.push_back("-" + name);
        for (const auto& name : option->get_lnames())
            entry.names.push_back("--" + name);
        if (option->get_type_size_max() > 0)
            entry.valueName = option->get_type_name();
        entry.description = option->get_description();
        entry.completion = optionCompletion(entry.valueName);
        info.options.push_back(std::move(entry));
    }
    // Option groups are nameless subcommands; a command in no group is hidden.
    auto subcommands = app.get_subcommands(
        [](const CLI::App* sub) { return !sub->get_name().empty() && !sub->get_group().empty(); });
    for (const CLI::App* sub : subcommands)
        info.subcommands.push_back(sub->get_name());
    out.push_back(std::move(info));
    for (const CLI::App* sub : subcommands) {
        auto subPath = path;
        subPath.push_back(sub->get_name());
        readCommand(*sub, subPath, out);
    }
}

} // namespace

std::string CommandInfo::joinedPath() const {
    std::string joined;
    for (const auto& word : path)
        joined += (joined.empty() ? "" : " ") + word;
    return joined;
}

std::vector<CommandInfo> readCommandTree(const CLI::App& app) {
    std::vector<CommandInfo> commands;
    readCommand(app, {}, commands);
    return commands;
}

std::vector<std::string> choiceWords(const std::string& description) {
    auto pieces = listPieces(description);
    if (pieces.size() < 2)
        return {};
    std::vector<std::string> words;
    for (const auto& piece : pieces) {
        auto tokens = splitWords(piece);
        if (tokens.empty() || !isWord(tokens[0]))
            return {};
        if (!std::all_of(tokens.begin() + 1, tokens.end(), isPlaceholder))
            return {};
        words.push_back(tokens[0]);
    }
    return words;
}

} // namespace brivio::manual
