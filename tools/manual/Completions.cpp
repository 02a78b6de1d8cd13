#include "Completions.h"

#include <fmt/format.h>

namespace brivio::manual {

namespace {

// The tables every shell reads, as the bodies of `case` statements (the syntax bash and zsh share):
//   subcommands PATH        → the commands below PATH
//   options PATH            → the options of PATH
//   valued "PATH OPTION"    → file, dir or value, for an option that takes a value
//   argument "PATH INDEX"   → displays, file, or nothing, then fixed words
std::string join(const std::vector<std::string>& words) {
    std::string out;
    for (const auto& word : words)
        out += (out.empty() ? "" : " ") + word;
    return out;
}

std::string completionKind(const ValueCompletion& completion) {
    std::vector<std::string> kind;
    if (completion.displays)
        kind.push_back("displays");
    else if (completion.files)
        kind.push_back("file");
    else if (completion.folders)
        kind.push_back("dir");
    else
        kind.push_back("value");
    kind.insert(kind.end(), completion.words.begin(), completion.words.end());
    return join(kind);
}

std::string caseTables(const std::vector<CommandInfo>& commands) {
    std::string subcommands, options, valued, arguments;
    for (const auto& command : commands) {
        auto path = command.joinedPath();
        if (!command.subcommands.empty())
            subcommands += fmt::format("    '{}') echo '{}' ;;\n", path, join(command.subcommands));
        std::vector<std::string> names;
        for (const auto& option : command.options) {
            names.insert(names.end(), option.names.begin(), option.names.end());
            if (!option.valueName.empty())
                for (const auto& name : option.names)
                    valued += fmt::format("    '{} {}') echo '{}' ;;\n", path, name,
                                          completionKind(option.completion));
        }
        if (!names.empty())
            options += fmt::format("    '{}') echo '{}' ;;\n", path, join(names));
        for (std::size_t i = 0; i < command.arguments.size(); ++i) {
            const auto& argument = command.arguments[i];
            auto kind = completionKind(argument.completion);
            if (kind != "value")
                arguments += fmt::format("    '{} {}') echo '{}' ;;\n", path, i, kind);
        }
    }
    return fmt::format("_brivioctl_subcommands() {{\n  case \"$1\" in\n{}  esac\n}}\n"
                       "_brivioctl_options() {{\n  case \"$1\" in\n{}  esac\n}}\n"
                       "_brivioctl_valued() {{\n  case \"$1\" in\n{}  esac\n}}\n"
                       "_brivioctl_argument() {{\n  case \"$1\" in\n{}  esac\n}}\n",
                       subcommands, options, valued, arguments);
}

// Walks the words before the cursor (bash: COMP_WORDS, zsh: words) and sets path, the index of the
// argument being typed, the --sim and --sysfs values seen, and the option whose value is being typed.
// Options may follow the command; those the command does not know belong to the program.
constexpr const char* walkBody =
    R"SH(  _brivioctl_path='' _brivioctl_index=0 _brivioctl_sim='' _brivioctl_sysfs='' _brivioctl_pending=''
  local w sub kind
  for w in "$@"; do
    if [ -n "$_brivioctl_pending" ]; then
      case "$_brivioctl_pending" in
        --sim) _brivioctl_sim=$w ;;
        --sysfs) _brivioctl_sysfs=$w ;;
      esac
      _brivioctl_pending=''
      continue
    fi
    case "$w" in
      -*=*) continue ;;
      -*)
        kind=$(_brivioctl_valued "$_brivioctl_path $w")
        [ -z "$kind" ] && kind=$(_brivioctl_valued " $w")
        [ -n "$kind" ] && _brivioctl_pending=$w
        continue ;;
    esac
    if [ "$_brivioctl_index" -eq 0 ]; then
      for sub in $(_brivioctl_subcommands "$_brivioctl_path"); do
        if [ "$sub" = "$w" ]; then
          _brivioctl_path="${_brivioctl_path:+$_brivioctl_path }$w"
          continue 2
        fi
      done
    fi
    _brivioctl_index=$((_brivioctl_index + 1))
  done
)SH";

// Display keys and numbers: on a simulated desk from 'list --json' in a throwaway settings folder
// (virtual time, nothing written); on this desktop the numbers of the connected connectors.
constexpr const char* displaysBody = R"SH(  local program=$1 sim=$2 sysfs=$3 tmp connector n=0
  [ -n "${ZSH_VERSION:-}" ] && setopt localoptions nullglob
  case "$sim" in "~/"*) sim="$HOME/${sim#\~/}" ;; esac
  case "$sysfs" in "~/"*) sysfs="$HOME/${sysfs#\~/}" ;; esac
  if [ -n "$sim" ]; then
    tmp=$(mktemp -d 2>/dev/null) || return 0
    "$program" --sim "$sim" --config "$tmp" list --json 2>/dev/null |
      sed -n 's/^ *"stableKey": "\([^"]*\)",\{0,1\}$/\1/p' | awk '{ print NR; print }'
    rm -rf "$tmp"
    return 0
  fi
  for connector in "${sysfs:-/sys}"/class/drm/card*-*/status; do
    [ -r "$connector" ] && [ "$(cat "$connector")" = connected ] && n=$((n + 1))
  done
  [ "$n" -gt 0 ] && seq 1 "$n"
  return 0
)SH";

} // namespace

std::string bashCompletion(const std::vector<CommandInfo>& commands) {
    std::string out = "# bash completion for brivioctl; written from its command line, do not edit.\n\n";
    out += caseTables(commands);
    out += fmt::format("_brivioctl_walk() {{\n{}}}\n", walkBody);
    out += fmt::format("_brivioctl_displays() {{\n{}}}\n", displaysBody);
    out += R"SH(
_brivioctl() {
  local cur=${COMP_WORDS[COMP_CWORD]} kind words=() k
  _brivioctl_walk "${COMP_WORDS[@]:1:COMP_CWORD-1}"
  COMPREPLY=()
  if [ -n "$_brivioctl_pending" ]; then
    kind=$(_brivioctl_valued "$_brivioctl_path $_brivioctl_pending")
    [ -z "$kind" ] && kind=$(_brivioctl_valued " $_brivioctl_pending")
  elif [[ $cur == -* ]]; then
    words=($(_brivioctl_options "$_brivioctl_path"))
    [ -n "$_brivioctl_path" ] && words+=($(_brivioctl_options ""))
    COMPREPLY=($(compgen -W "${words[*]}" -- "$cur"))
    return 0
  elif [ "$_brivioctl_index" -eq 0 ] && [ -n "$(_brivioctl_subcommands "$_brivioctl_path")" ]; then
    COMPREPLY=($(compgen -W "$(_brivioctl_subcommands "$_brivioctl_path")" -- "$cur"))
    return 0
  else
    kind=$(_brivioctl_argument "$_brivioctl_path $_brivioctl_index")
  fi
  for k in $kind; do
    case "$k" in
      value) ;;
      file) COMPREPLY+=($(compgen -f -- "$cur")); compopt -o filenames 2>/dev/null ;;
      dir) COMPREPLY+=($(compgen -d -- "$cur")); compopt -o filenames 2>/dev/null ;;
      displays) words+=($(_brivioctl_displays "${COMP_WORDS[0]}" "$_brivioctl_sim" "$_brivioctl_sysfs")) ;;
      *) words+=("$k") ;;
    esac
  done
  [ ${#words[@]} -gt 0 ] && COMPREPLY+=($(compgen -W "${words[*]}" -- "$cur"))
  return 0
}
complete -F _brivioctl brivioctl
)SH";
    return out;
}

std::string zshCompletion(const std::vector<CommandInfo>& commands) {
    std::string out =
        "#compdef brivioctl\n# zsh completion for brivioctl; written from its command line, do not edit.\n\n";
    out += caseTables(commands);
    out += fmt::format("_brivioctl_walk() {{\n{}}}\n", walkBody);
    out += fmt::format("_brivioctl_displays() {{\n{}}}\n", displaysBody);
    out += R"SH(
_brivioctl() {
  local cur=${words[CURRENT]} kind k
  local -a candidates
  _brivioctl_walk "${(@)words[2,CURRENT-1]}"
  if [[ -n $_brivioctl_pending ]]; then
    kind=$(_brivioctl_valued "$_brivioctl_path $_brivioctl_pending")
    [[ -z $kind ]] && kind=$(_brivioctl_valued " $_brivioctl_pending")
  elif [[ $cur == -* ]]; then
    candidates=(${=$(_brivioctl_options "$_brivioctl_path")})
    [[ -n $_brivioctl_path ]] && candidates+=(${=$(_brivioctl_options "")})
    compadd -a candidates
    return
  elif (( _brivioctl_index == 0 )) && [[ -n $(_brivioctl_subcommands "$_brivioctl_path") ]]; then
    candidates=(${=$(_brivioctl_subcommands "$_brivioctl_path")})
    compadd -a candidates
    return
  else
    kind=$(_brivioctl_argument "$_brivioctl_path $_brivioctl_index")
  fi
  for k in ${=kind}; do
    case $k in
      value) ;;
      file) _files ;;
      dir) _files -/ ;;
      displays) candidates+=(${(f)"$(_brivioctl_displays "${words[1]}" "$_brivioctl_sim" "$_brivioctl_sysfs")"}) ;;
      *) candidates+=($k) ;;
    esac
  done
  (( ${#candidates} )) && compadd -a candidates
  return 0
}

_brivioctl "$@"
)SH";
    return out;
}

namespace {

// For the single quotes of a shell or fish string.
std::string singleQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

} // namespace

std::string fishCompletion(const std::vector<CommandInfo>& commands) {
    // Fish runs the same walk through sh, which prints what to offer, one kind a line.
    std::string walk = caseTables(commands);
    walk += fmt::format("_brivioctl_walk() {{\n{}}}\n", walkBody);
    walk += R"SH(_brivioctl_walk "$@"
if [ -n "$_brivioctl_pending" ]; then
  kind=$(_brivioctl_valued "$_brivioctl_path $_brivioctl_pending")
  [ -z "$kind" ] && kind=$(_brivioctl_valued " $_brivioctl_pending")
  echo "offer $kind"
elif [ "$_brivioctl_index" -eq 0 ] && [ -n "$(_brivioctl_subcommands "$_brivioctl_path")" ]; then
  echo "offer-commands $(_brivioctl_subcommands "$_brivioctl_path")"
else
  echo "offer $(_brivioctl_argument "$_brivioctl_path $_brivioctl_index")"
fi
echo "options $(_brivioctl_options "$_brivioctl_path") $([ -n "$_brivioctl_path" ] && _brivioctl_options '')"
echo "sim $_brivioctl_sim"
echo "sysfs $_brivioctl_sysfs"
)SH";
    std::string displays =
        fmt::format("_brivioctl_displays() {{\n{}}}\n_brivioctl_displays \"$@\"\n", displaysBody);

    std::string out = "# fish completion for brivioctl; written from its command line, do not edit.\n\n";
    out += "function __brivioctl_candidates\n";
    out += "    set -l tokens (commandline -opc)\n";
    out += "    set -l current (commandline -ct)\n";
    out += "    set -l offer\n    set -l options\n    set -l sim\n    set -l sysfs\n";
    out += "    for line in (sh -c " + singleQuoted(walk) + " sh $tokens[2..-1])\n";
    out += R"SH(        set -l fields (string split -n ' ' -- $line)
        switch $fields[1]
            case offer offer-commands
                set offer $fields
            case options
                set options $fields[2..-1]
            case sim
                set sim (string replace -r '^sim ' '' -- $line)
            case sysfs
                set sysfs (string replace -r '^sysfs ' '' -- $line)
        end
    end
    if string match -q -- '-*' "$current"
        printf '%s\n' $options
        return
    end
    if test "$offer[1]" = offer-commands
        printf '%s\n' $offer[2..-1]
        return
    end
    for kind in $offer[2..-1]
        switch $kind
            case value
            case file
                __fish_complete_path $current
            case dir
                __fish_complete_directories $current
            case displays
                sh -c )SH" +
           singleQuoted(displays) + R"SH( sh $tokens[1] "$sim" "$sysfs"
            case '*'
                echo $kind
        end
    end
end

complete -c brivioctl -f -a '(__brivioctl_candidates)'
)SH";
    return out;
}

} // namespace brivio::manual
