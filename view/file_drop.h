#pragma once

// Files dropped on the view. The view knows nothing of loading: the program
// sets a hook, and the view hands it the first STL file of a drop.
using File_Drop_Hook = void (*)(const char* path);

// nullptr (the default) makes the view refuse drops.
void set_file_drop_hook(File_Drop_Hook hook);

// The view's share of FLTK's drag-and-drop events: FL_DND_ENTER, _DRAG,
// _LEAVE and _RELEASE are taken (1) while a hook is set, and FL_PASTE with
// the dropped text/uri-list in `text` calls the hook. 0 for anything else.
int file_drop_event(int event, const char* text, int length);
