#pragma once

#include <optional>
#include <string>

// A short text kept with a file in an extended attribute of the user
// namespace ("user.NAME"), so that it travels with the file through a
// rename. Many shares and removable sticks have no such attributes: every
// call then says so by failing, and the caller keeps the text elsewhere.

// Sets the attribute on an open file. False when the file system, or the
// file, does not take it.
bool set_file_label(int fd, const char* name, const std::string& value);

// Sets it on the file a path names, following links.
bool set_file_label(const char* path, const char* name, const std::string& value);

// Removes it, if it is there, before a file is rewritten in place.
void remove_file_label(int fd, const char* name);

// The attribute's text; nothing when the file has none or the file system
// keeps none.
std::optional<std::string> file_label(const char* path, const char* name);
