#include "app/pending.h"

#include <SDL/SDL.h>

#include "app/app_state.h"
#include "platform/result_codes.h"

int stream_decoders_open(AppState*)
{
    return ERR_MEDIA_OPEN;
}
int stream_session_run(AppState*)
{
    return ERR_MEDIA_OPEN;
}
void stream_decoders_stop(AppState*) {}
void stream_audio_codec_free(AppState*) {}
void recording_finish(AppState* app)
{
    flags_clear(&app->flags, APP_RECORDING_OPEN);
}
void link_disconnect(AppState*) {}
