#pragma once

// veltrim-batch run as a child process with its output kept, and the small
// file helpers its tests share.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/insole_model.h"
#include "support/stl_bytes.h"
#include "support/temp_dir.h"

// The lines of text that mention `what`.
inline int count_lines_with(const std::string& text, const std::string& what) {
    int n = 0;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) n += line.find(what) != std::string::npos;
    return n;
}

inline std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Starts the built veltrim-batch with DISPLAY unset (or set to `display`),
// its output and error going to the files named, ended by SIGALRM after
// `seconds` if not 0, files limited to `file_size_limit` bytes as ulimit -f
// does, and run as the user `uid` when it is not 0 (a service user that
// owns none of the scans). The environment is made before fork: the GL
// driver has threads, so the child only execs.
inline pid_t start_batch(std::vector<std::string> args, const std::string& out_path,
                         const std::string& err_path, const char* display = nullptr,
                         unsigned seconds = 0, rlim_t file_size_limit = RLIM_INFINITY,
                         uid_t uid = 0) {
    args.insert(args.begin(), VELTRIM_BATCH);
    std::string display_entry = std::string("DISPLAY=") + (display ? display : "");
    std::vector<char*> argv, envp;
    for (char** e = environ; *e != nullptr; ++e)
        if (std::strncmp(*e, "DISPLAY=", 8) != 0 && std::strncmp(*e, "WAYLAND_DISPLAY=", 16) != 0)
            envp.push_back(*e);
    if (display) envp.push_back(&display_entry[0]);
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
        dup2(open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
        alarm(seconds);  // kept across execve
        const rlimit limit{file_size_limit, file_size_limit};
        setrlimit(RLIMIT_FSIZE, &limit);
        if (uid != 0 && (setgroups(0, nullptr) != 0 || setgid(uid) != 0 || setuid(uid) != 0))
            _exit(126);
        execve(argv[0], argv.data(), envp.data());
        _exit(127);
    }
    return pid;
}

// Its exit status once it ends; -1 if it did not exit normally. A run that
// hangs is ended by the test's time limit.
inline int wait_for(pid_t pid) {
    int wstatus = 0;
    if (pid <= 0 || waitpid(pid, &wstatus, 0) != pid) return -1;
    return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
}

struct Batch_Run {
    int status = -1;  // exit status; -1 if it did not exit normally
    std::string out, err;
    int lines_with(const std::string& what) const { return count_lines_with(err, what); }
};

inline Batch_Run run_batch(const std::vector<std::string>& args, const char* display = nullptr,
                           unsigned seconds = 0, rlim_t file_size_limit = RLIM_INFINITY) {
    Temp_Dir logs;
    Batch_Run r;
    r.status = wait_for(
        start_batch(args, logs.file("out"), logs.file("err"), display, seconds, file_size_limit));
    r.out = slurp(logs.file("out"));
    r.err = slurp(logs.file("err"));
    return r;
}

inline std::vector<std::string> files_in(const std::string& dir) {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& e : std::filesystem::directory_iterator(dir, ignored))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

inline std::string insole_bytes(std::size_t facets, unsigned variant) {
    return stl_bytes::binary(insole_model(facets, variant));
}

inline bool wait_until(const std::function<bool()>& done, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

inline void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// A test with a fresh folder of its own.
class Batch_Test : public ::testing::Test {
protected:
    void make_dirs(const std::vector<std::string>& names) {
        for (const std::string& name : names) ASSERT_EQ(mkdir(dir_.file(name).c_str(), 0755), 0);
    }

    Temp_Dir dir_;
};

// A watch started in the test's folder, its standard error kept in "err".
class Batch_Watch : public Batch_Test {
protected:
    void start(const std::vector<std::string>& args, const std::string& line = "watching ",
               uid_t uid = 0) {
        pid_ = start_batch(args, dir_.file("out.txt"), dir_.file("err"), nullptr, 0, RLIM_INFINITY,
                           uid);
        ASSERT_TRUE(wait_for_line(line)) << log();
    }
    std::string log() const { return slurp(dir_.file("err")); }
    bool wait_for_line(const std::string& text) const {
        return wait_until([&] { return count_lines_with(log(), text) > 0; }, 30);
    }
    bool wait_for_files(const std::vector<std::string>& names) const {
        auto there = [&](const std::string& n) { return exists(dir_.file(n)); };
        return wait_until([&] { return std::all_of(names.begin(), names.end(), there); }, 30);
    }
    int stop() {
        pause_ms(500);  // time for a second, wrong conversion
        kill(pid_, SIGTERM);
        const int status = wait_for(pid_);
        pid_ = -1;
        return status;
    }
    // A test that ended early leaves no watch behind.
    void TearDown() override {
        if (pid_ > 0 && kill(pid_, SIGKILL) == 0) wait_for(pid_);
    }
    void move(const std::string& from, const std::string& to) {
        ASSERT_EQ(rename(dir_.file(from).c_str(), dir_.file(to).c_str()), 0);
    }

    pid_t pid_ = -1;
};
