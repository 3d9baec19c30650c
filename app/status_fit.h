#pragma once

#include <functional>
#include <string>

// What the status strip shows of a message that may not fit its width: the
// whole text if it fits, else its first sentence (up to the first ". "), and
// a first sentence that still does not fit loses its middle to "..." (a
// long path keeps its start and its file name). `width` measures a text in
// the strip's font. The strip's tooltip holds the whole text whenever the
// two differ.
std::string fitted_status(const std::string& text, int room,
                          const std::function<int(const std::string&)>& width);
