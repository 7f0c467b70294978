#include "BashCompletion.h"

#include "CliOptions.h"

namespace velmora::cli {
namespace {

std::string Join(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& word : words) text += (text.empty() ? "" : " ") + word;
    return text;
}

// The case arm that completes the value of one option, or "" when any word may follow.
std::string ValueArm(const OptionSpec& option) {
    std::string action;
    if (option.valueHint == "FILE") {
        action = "compgen -f -- \"$cur\"";
    } else if (option.valueHint == "DIR") {
        action = "compgen -d -- \"$cur\"";
    } else if (option.valueHint == "VAR") {
        action = "compgen -v -- \"$cur\"";
    } else if (option.valueHint.find('|') != std::string::npos) {
        std::string choices = option.valueHint;
        for (char& c : choices) {
            if (c == '|') c = ' ';
        }
        action = "compgen -W '" + choices + "' -- \"$cur\"";
    } else {
        return "        " + option.name + ") return 0 ;;\n";
    }
    return "        " + option.name + ") COMPREPLY=($(" + action + ")); return 0 ;;\n";
}

}  // namespace

std::string BashCompletionScript() {
    std::vector<std::string> options;
    std::string valueArms;
    for (const OptionSpec& option : OptionTable()) {
        options.push_back(option.name);
        if (!option.shortName.empty()) options.push_back(option.shortName);
        if (option.value == OptionSpec::Value::Required) valueArms += ValueArm(option);
    }
    std::vector<std::string> commands;
    std::string kindArms;
    for (const CommandSpec& command : CommandTable()) {
        commands.push_back(command.name);
        if (!command.kinds.empty()) {
            kindArms += "        " + command.name + ") COMPREPLY=($(compgen -W '" +
                        Join(command.kinds) + "' -- \"$cur\")); return 0 ;;\n";
        }
    }
    return "# bash completion for velmora-cli (written by velmora-cli completion bash)\n"
           "_velmora_cli() {\n"
           "    local cur prev word command='' position=0 i\n"
           "    cur=\"${COMP_WORDS[COMP_CWORD]}\"\n"
           "    prev=\"${COMP_WORDS[COMP_CWORD-1]}\"\n"
           "    # bash splits --option=value at the '=' (COMP_WORDBREAKS).\n"
           "    if [[ \"$prev\" == \"=\" ]]; then prev=\"${COMP_WORDS[COMP_CWORD-2]}\"; fi\n"
           "    if [[ \"$cur\" == \"=\" ]]; then prev=\"${COMP_WORDS[COMP_CWORD-1]}\"; cur=''; fi\n"
           "    case \"$prev\" in\n" +
           valueArms +
           "    esac\n"
           "    if [[ \"$cur\" == -* ]]; then\n"
           "        COMPREPLY=($(compgen -W '" + Join(options) + "' -- \"$cur\"))\n"
           "        return 0\n"
           "    fi\n"
           "    # The command and how many words follow it, skipping options and their values.\n"
           "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "        word=\"${COMP_WORDS[i]}\"\n"
           "        case \"$word\" in\n"
           "            --*=*|-?|=) ;;\n"
           "            --*) case \" $_velmora_cli_valued \" in\n"
           "                     *\" $word \"*) ((i++)); [[ \"${COMP_WORDS[i]}\" == \"=\" ]] && ((i++)) ;;\n"
           "                 esac ;;\n"
           "            *) if [[ -z \"$command\" ]]; then command=\"$word\"; else ((position++)); fi ;;\n"
           "        esac\n"
           "    done\n"
           "    if [[ -z \"$command\" ]]; then\n"
           "        COMPREPLY=($(compgen -W '" + Join(commands) + "' -- \"$cur\"))\n"
           "        return 0\n"
           "    fi\n"
           "    if ((position == 0)); then\n"
           "        case \"$command\" in\n" +
           kindArms +
           "            translate-table|translate-view|translate-routine) COMPREPLY=($(compgen -f -- \"$cur\")); return 0 ;;\n"
           "        esac\n"
           "    fi\n"
           "    return 0\n"
           "}\n"
           "_velmora_cli_valued='" + [&] {
               std::vector<std::string> valued;
               for (const OptionSpec& option : OptionTable()) {
                   if (option.value == OptionSpec::Value::Required) valued.push_back(option.name);
               }
               return Join(valued);
           }() + "'\n"
           "complete -F _velmora_cli velmora-cli\n";
}

}  // namespace velmora::cli
