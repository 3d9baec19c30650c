#include "tools/batch/progress.h"

#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// A counter line longer than the terminal would wrap, and \r would then
// rewrite only its last piece.
std::size_t terminal_width() {
    winsize ws{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 1) return ws.ws_col - 1;
    return 79;
}

}  // namespace

Progress::Progress(std::size_t total, bool terminal) : total_(total), terminal_(terminal) {}

void Progress::clear_line() {
    if (shown_ == 0) return;
    std::fprintf(stderr, "\r%*s\r", static_cast<int>(shown_), "");
    shown_ = 0;
}

void Progress::draw_line() {
    std::string line = "[" + std::to_string(done_) + "/" + std::to_string(total_) + "] " + current_;
    const std::size_t width = terminal_width();
    if (line.size() > width) line = line.substr(0, width > 3 ? width - 3 : 0) + "...";
    const std::size_t previous = shown_;
    std::fprintf(stderr, "\r%s", line.c_str());
    if (line.size() < previous)
        std::fprintf(stderr, "%*s\r%s", static_cast<int>(previous - line.size()), "", line.c_str());
    std::fflush(stderr);
    shown_ = line.size();
}

void Progress::expect_more(std::size_t count) {
    std::lock_guard<std::mutex> lock(mutex_);
    total_ += count;
}

void Progress::started(const std::string& input) {
    std::lock_guard<std::mutex> lock(mutex_);
    current_ = input;
    if (terminal_) draw_line();
}

void Progress::finished(const std::string& input, const std::string& output, bool ok) {
    std::lock_guard<std::mutex> lock(mutex_);
    ++done_;
    if (terminal_) {
        draw_line();
    } else if (ok) {
        std::fprintf(stderr, "[%zu/%zu] %s -> %s\n", done_, total_, input.c_str(), output.c_str());
        std::fflush(stderr);
    }
}

void Progress::print(std::FILE* stream, const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    const bool redraw = terminal_ && shown_ > 0;
    if (terminal_) clear_line();
    std::fputs(text.c_str(), stream);
    std::fflush(stream);
    if (redraw) draw_line();
}

void Progress::close() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (terminal_) clear_line();
    std::fflush(stderr);
}
