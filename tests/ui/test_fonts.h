// Opening the program's fonts for a test suite: from the run folder, where
// the build puts them, with the font renderer started first.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <SDL/SDL_ttf.h>

#include "ui/text.h"

inline void test_fonts_open()
{
    ASSERT_EQ(chdir(VELMORA_RUN_DIR), 0);
    ASSERT_EQ(TTF_Init(), 0);
    ASSERT_EQ(fonts_open(), 0) << "fonts missing in " VELMORA_RUN_DIR;
}

inline void test_fonts_close()
{
    fonts_close();
    TTF_Quit();
}
