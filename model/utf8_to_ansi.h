#pragma once

// Makes a chooser's UTF-8 file name fit for the C file functions, in place,
// and returns it. Linux file functions take the UTF-8 bytes as they are, so
// the text is left unchanged; both file commands still pass their names
// through here, which keeps one place for a platform that needs more.
char* utf8_to_ansi(char* text);
