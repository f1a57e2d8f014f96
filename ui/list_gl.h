// The list widget's GL fast path: while a list is dragged or flung, only
// the list is redrawn, through a ring of row layers (one texture per row,
// uploaded when the row comes into view), over the interface layer already
// on screen, clipped to the list. Nothing else is uploaded.
//
// list_gl_redraw returns false (and draws nothing) when the fast path does
// not apply: no GL context, no interface slot, a portrait orientation, a
// window that differs from the screen size, or too few free texture slots or
// memory for the whole ring (the ring is then not tried again for that
// list). The caller then draws the list into the surface and presents it.
// The clear colour found on entry is left as it was (the video overlay
// relies on transparent black). Main thread only, GL context current.
#pragma once

struct UiState;
struct VideoOutput;
struct Widget;

bool list_gl_redraw(const UiState* ui, const VideoOutput* out, Widget* list);
// The whole interface was shown anew (present): the next fast frames
// repaint it in both buffers before drawing only the list again.
void list_gl_screen_changed();
// Forgets the rows cached in the list's layers (their content changed).
void list_gl_invalidate(Widget* list);
// Frees the list's own layer and its ring of row layers.
void list_gl_free(Widget* list);
