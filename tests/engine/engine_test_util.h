// Helpers for the engine tests: a scratch folder, media made with ffmpeg from
// lavfi sources, the engine_playback driver and its JSON line, and a fixture
// that runs sessions in-process through the player loop's engine steps.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "engine/engine_context.h"
#include "engine/now_playing.h"
#include "engine/player_session.h"
#include "platform/settings.h"
#include "render/video_output.h"

// A fresh folder under /tmp, removed with its contents on destruction.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Runs "ffmpeg -y -v error <args>"; true on success.
bool make_media(const std::string& args);
// Makes path from lavfi sources (one input each) with the output options.
bool make_clip(const std::string& path, const std::vector<std::string>& sources, const std::string& output);
// The usual clip: a 160x120 25 fps test picture and a 440 Hz 48 kHz tone.
inline const std::vector<std::string> AV_SOURCES = {"testsrc2=s=160x120:r=25", "sine=f=440:r=48000"};
constexpr const char* H264_AAC = "-c:v libx264 -c:a aac";

struct CommandResult {
    int exit_code = -1;  // -1 when it did not exit normally
    std::string output;  // stdout
};
// engine_playback with options and media; env is prepended to the command.
CommandResult run_playback(const std::string& env, const std::string& options, const std::string& media);
// A number field of a one-line JSON object (true counts as 1); NaN when missing.
double json_number(const std::string& json, const std::string& key);
// Bytes of a file (empty when it cannot be read).
std::string read_file(const std::string& path);

// Sessions run in-process with SDL's dummy drivers, inside a scratch folder
// (covers are written below the working folder). Without use_gl a video
// thread's picture allocation is never answered, which closing must end.
class SessionTest : public ::testing::Test {
protected:
    static constexpr int SCREEN_W = 320, SCREEN_H = 240;
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
    void TearDown() override;
    // A screen-sized pbuffer with the programs built, as the player has.
    void use_gl();
    int open(const std::string& name);
    void close();
    // The player loop's engine steps (events, then a tick) until done() or the
    // session ends; false after a 60 s guard. *ended gets the end result.
    bool play_until(const std::function<bool()>& done, ResultCode* ended = nullptr);
    bool shown(int n) const { return now.session->stats.frames_shown >= n; }

    ScratchDir dir;
    // The parts of the application record the engine works on.
    FlagWord flags{0};
    Settings settings{};
    VideoOutput out{};
    NowPlaying now{};

private:
    char old_cwd_[4096] = {};
    bool gl_ = false;
};
