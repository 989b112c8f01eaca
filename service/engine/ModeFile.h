#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

// One program of an engine pipeline with its arguments.
struct ModeCommand {
    std::string program;
    std::vector<std::string> args;

    bool operator==(const ModeCommand&) const = default;
};

// A pair's .mode file: one shell pipeline, "prog args | prog args | ...",
// with single- or double-quoted data paths and "$1"-style placeholders.
// Only that much shell is understood; anything else (redirections, command
// lists, substitutions) makes the file unusable rather than half-read.
namespace ModeFile {

struct Parsed {
    std::vector<ModeCommand> commands;
    std::string error;  // empty when the pipeline was read whole

    bool ok() const { return error.empty(); }
};

// The placeholder values the engine's own driver passes: "$1" is the
// generator's option, "-n" for output without unknown-word marks; "$2" is
// the tagger's extra option, none. Unquoted empty placeholders vanish.
std::vector<std::string> unmarkedPlaceholders();

Parsed parsePipeline(std::string_view text, const std::vector<std::string>& placeholders);
Parsed load(const std::filesystem::path& file, const std::vector<std::string>& placeholders);

// Puts "-z" (flush on NUL) right after each program name, as the engine's
// driver does for null-flush mode.
void addNullFlush(std::vector<ModeCommand>& commands);

}  // namespace ModeFile
