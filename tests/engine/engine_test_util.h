// Helpers for the engine tests: a scratch folder, media made with ffmpeg from
// lavfi sources, the engine_playback driver and its JSON line.
#pragma once

#include <string>
#include <vector>

#include "tests/scratch_dir.h"

// Runs "ffmpeg -y -v error <args>"; true on success.
bool make_media(const std::string& args);
// Makes path from lavfi sources (one input each) with the output options.
bool make_clip(const std::string& path, const std::vector<std::string>& sources,
               const std::string& output);
// The usual clip: a 160x120 25 fps test picture and a 440 Hz 48 kHz tone.
inline const std::vector<std::string> AV_SOURCES = {"testsrc2=s=160x120:r=25",
                                                    "sine=f=440:r=48000"};
constexpr const char* H264_AAC = "-c:v libx264 -c:a aac";

struct CommandResult {
    int exit_code = -1;  // -1 when it did not exit normally
    std::string output;  // stdout
};
// engine_playback with options and media; env is prepended to the command.
CommandResult run_playback(const std::string& env, const std::string& options,
                           const std::string& media);
// A number field of a one-line JSON object (true counts as 1); NaN when missing.
double json_number(const std::string& json, const std::string& key);
// Bytes of a file (empty when it cannot be read).
std::string read_file(const std::string& path);
