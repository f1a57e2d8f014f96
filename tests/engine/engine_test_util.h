// Helpers for the engine tests: a scratch folder, media made with the ffmpeg
// command, running engine_playback and reading its JSON line.
#pragma once

#include <string>

// A fresh folder under /tmp, removed with its contents on destruction.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Runs "ffmpeg -y -v error <args>"; true on success.
bool make_media(const std::string& args);

struct CommandResult {
    int exit_code = -1;       // -1 when it did not exit normally
    std::string output;       // stdout
};
// Runs a shell command line, capturing stdout.
CommandResult run_command(const std::string& command);

// engine_playback with options and media; env is prepended to the command.
CommandResult run_playback(const std::string& env, const std::string& options,
                           const std::string& media);

// A number field of a one-line JSON object; NaN when missing.
double json_number(const std::string& json, const std::string& key);
// A string or boolean field as text; empty when missing.
std::string json_text(const std::string& json, const std::string& key);

// Bytes of a file (empty when it cannot be read).
std::string read_file(const std::string& path);
