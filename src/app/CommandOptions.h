#pragma once

#include <QString>
#include <span>

namespace quillon {

/// What an option sets in the request; the parser's one switch goes by it.
enum class OptionId {
    Report,
    Output,
    Format,
    Type,
    Sort,
    Descending,
    Ascending,
    Depth,
    NoSubfolders,
    Types,
    Font,
    Size,
    Summary,
    SummaryAlone,
    Top,
    SameBytes,
    Compare,
    Job,
    Crc,
    Threads,
    Help,
    Version,
};

/// What a shell offers after the option.
enum class OptionValue { None, Path, Choice, Text };

/// One option of the command line. The parser, "--help", the manual page's option list and
/// the bash, zsh and fish completions are all made from the one table of these, so none of
/// them can leave an option out.
struct CommandOption {
    OptionId id;
    const char* name;      ///< "--output"
    const char* shortName; ///< "-o", or "" when there is none
    const char* argument;  ///< "FILE", "A B"; "" for a switch
    OptionValue value;
    const char* choices; ///< the words of a Choice, separated by spaces
    const char* summary; ///< a few words, for the completions' menus
    const char* help;    ///< the paragraph of --help and the manual page
};

std::span<const CommandOption> CommandOptions();

/// The table's row for id (every id has one).
const CommandOption& OptionOf(OptionId id);

/// The options part of "quillon --help": each option and its help, wrapped to 78 columns.
QString OptionsUsage();

/// The manual page's OPTIONS section, from its ".SH OPTIONS" line up to the next ".SH".
QString ManPageOptions();

/// The shells' completion scripts, installed as /usr/share/bash-completion/completions/quillon,
/// /usr/share/zsh/vendor-completions/_quillon and
/// /usr/share/fish/vendor_completions.d/quillon.fish.
enum class Shell { Bash, Zsh, Fish };
QString CompletionScript(Shell shell);

} // namespace quillon
