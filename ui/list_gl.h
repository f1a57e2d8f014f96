// The list widget's GL fast path: while a list is dragged or flung, only
// the list is redrawn, through a ring of row layers (one texture per row,
// uploaded when the row comes into view), over the interface layer already
// on screen, clipped to the list. Nothing else is uploaded.
//
// list_gl_redraw returns false (and draws nothing) when the fast path does
// not apply: no GL context, no interface slot, a portrait orientation, a
// window that differs from the screen size, or no free texture slots. The
// caller then draws the list into the surface and presents it. Main thread
// only.
#pragma once

struct AppState;
struct Widget;

bool list_gl_redraw(AppState* app, Widget* list);
// The whole interface was shown anew (present): the next fast frames
// repaint it in both buffers before drawing only the list again.
void list_gl_screen_changed();
// Forgets the rows cached in the list's layers (their content changed).
void list_gl_invalidate(Widget* list);
