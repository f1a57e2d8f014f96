// Opens a document or web address with the desktop's default handler
// (xdg-open). Returns 0 when the opener was started, -1 when there is none.
// Never waits for the opener. Any thread may call it.
#pragma once

int shell_open(const char* target);
