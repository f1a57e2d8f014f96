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

#include <functional>

#include "engine/engine_context.h"
#include "engine/now_playing.h"
#include "engine/player_session.h"
#include "platform/settings.h"
#include "render/video_output.h"

// The parts of the application record the engine works on, as start-up
// would set them for a screen_w x screen_h screen with sound on.
struct EngineParts {
    FlagWord flags{0};
    Settings settings{};
    VideoOutput out{};
    NowPlaying now{};

    EngineParts(int screen_w, int screen_h);
    EngineContext context() { return EngineContext{&now, &out, &flags, &settings}; }
};

// Runs the player loop's engine steps (events through
// player_session_handle_event, then player_session_tick) until done() says
// so or the session ends; false after a 60 s guard. *ended, when given,
// receives the session's result if it ended.
bool play_until(PlayerSession* s, const std::function<bool()>& done,
                ResultCode* ended = nullptr);
