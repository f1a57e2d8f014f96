#include "render/video_output.h"

int32_t screen_width = 0;
int32_t screen_height = 0;
