#include "app/pending.h"

#include <SDL/SDL.h>

#include "app/app_state.h"
#include "platform/result_codes.h"

void recording_finish(AppState* app)
{
    flags_clear(&app->flags, APP_RECORDING_OPEN);
}
