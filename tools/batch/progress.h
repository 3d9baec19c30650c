#pragma once

#include <cstddef>
#include <cstdio>
#include <mutex>
#include <string>

// Everything the converter tells the user, from any worker thread. On a
// terminal, standard error keeps one counter line with the current file,
// rewritten in place, and other lines are printed above it; elsewhere
// (a log, a pipe) every finished file gets a plain line instead.
class Progress {
public:
    Progress(std::size_t total, bool terminal);

    // A watch learns its files one by one.
    void expect_more(std::size_t count);
    void started(const std::string& input);
    void finished(const std::string& input, const std::string& output, bool ok);
    // A whole block of text on stream, never split by another thread's.
    void print(std::FILE* stream, const std::string& text);
    // Removes the counter line before the summary.
    void close();

private:
    void clear_line();
    void draw_line();

    std::mutex mutex_;
    std::size_t total_;
    std::size_t done_ = 0;
    bool terminal_;
    std::string current_;
    std::size_t shown_ = 0;  // characters of the counter line now on screen
};
