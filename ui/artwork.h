// The artwork table: every interface image, decoded once at start-up from
// "images/" (relative to the working directory) and kept until shutdown.
// Each pressed image is the entry right after its normal one, so a button
// built from entry `id` shows `id + 1` while pressed. The table owns its
// images (artwork_set frees the one it replaces). Main thread only.
#pragma once

#include "ui/surface.h"

enum ArtId : int {
    ART_BACKGROUND_TALL = 0,
    ART_BACKGROUND2,
    ART_BACKGROUND3,
    ART_PANEL,
    ART_PLAYERBAR,
    ART_THUMB,
    ART_THUMBP,
    ART_UPARROW,
    ART_DOWNARROW,
    ART_SLIDER_LEFT,  // seek-track pieces: used while loading, then freed
    ART_SLIDER_MIDDLE,
    ART_SLIDER_RIGHT,
    ART_PLAYL,
    ART_PLAYLP,
    ART_STOP,
    ART_STOPP,
    ART_SHUFFLE,
    ART_SHUFFLEP,
    ART_REPEATALLP,
    ART_REPEAT,
    ART_REPEATP,
    ART_LOCK,
    ART_LOCKP,
    ART_AR,
    ART_FULLSCREEN,
    ART_LIBRARYVIEW,
    ART_RECORD,
    ART_RECORDP,
    ART_VOLON,
    ART_VOLONP,
    ART_VOLOFF,
    ART_VOLOFFP,
    ART_PAUSEL,
    ART_PAUSELP,
    ART_STOPREC,
    ART_STOPRECP,
    ART_SKIPBACK,
    ART_SKIPBACKP,
    ART_SKIPFWD,
    ART_SKIPFWDP,
    ART_JUMPFWD,
    ART_JUMPFWDP,
    ART_JUMPBACK,
    ART_JUMPBACKP,
    ART_BUTTON,
    ART_BUTTON_PRESSED,
    ART_SQUARE_BUTTON,
    ART_SQUARE_BUTTONP,
    ART_MOVIE,  // home screen icons
    ART_SETTINGS,
    ART_TV,
    ART_FAVS,
    ART_REMOTE,
    ART_UPNP,
    ART_HELP,
    ART_HELPP,
    ART_STANDBY,
    ART_STANDBYP,
    ART_SEL_1_2,
    ART_SEL_2_2,
    ART_SEL_1_3,
    ART_SEL_2_3,
    ART_SEL_3_3,
    ART_EDITBOX,
    ART_EDITBOX_SEL,
    ART_SPINNER_1,  // eight spinner frames, ART_SPINNER_1 + 0..7
    ART_SPINNER_2,
    ART_SPINNER_3,
    ART_SPINNER_4,
    ART_SPINNER_5,
    ART_SPINNER_6,
    ART_SPINNER_7,
    ART_SPINNER_8,
    ART_DIALOG,
    ART_CHECKBOX,
    ART_CHECKBOX_SEL,
    ART_COUNT,
};

constexpr int SPINNER_FRAME_COUNT = 8;

// Left edge of the seek track in the player bar and the room kept right of it.
constexpr int SEEK_TRACK_X = 112;
constexpr int SEEK_TRACK_RIGHT_MARGIN = 284;

// The file an entry is loaded from ("images/....png").
const char* artwork_path(ArtId id);
// The loaded image of an entry; null before loading, after freeing, and for
// the seek-track pieces once loading is done.
Surface* artwork(ArtId id);
// Replaces an entry (the old image is freed).
void artwork_set(ArtId id, Surface* image);

// Loads the artwork table in order (background2 scaled to the screen size,
// the player bar to the screen width, the seek track drawn into the bar),
// then opens the 30 fonts. A screen side below 1 leaves the images at their
// file size. 0, or -1 when any file is missing (everything loaded so far is
// freed).
int load_artwork_and_fonts(int screen_width, int screen_height);
// Frees every artwork entry, then closes the fonts.
void free_artwork_and_fonts();

// Reloads the window-sized artwork for a new window size: the player bar
// (fitted to the width in landscape, to the height in portrait, with its
// seek track), background2 and background3 scaled to width x height,
// background-tall to height x width. 0, or -1 when an image fails (the
// table keeps its previous images).
int artwork_fit_window(int width, int height, bool portrait);
