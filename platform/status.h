#pragma once

#include <string>
#include <utility>

// The outcome of an operation that can fail: success, or one line saying
// why (without the file name, which the caller knows and prints). This is
// the one way failures travel between functions; callers print the reason
// or keep it, and nothing parses it back.
class Status {
public:
    static Status ok() { return Status(); }
    // code: the errno behind it, where one is, so that a caller can tell a
    // failure that may pass (a full disk) from one that will not.
    static Status failed(std::string reason, int code = 0) {
        Status s;
        s.failed_ = true;
        s.reason_ = std::move(reason);
        s.code_ = code;
        return s;
    }

    bool is_ok() const { return !failed_; }
    explicit operator bool() const { return !failed_; }
    const std::string& reason() const { return reason_; }
    int code() const { return code_; }

private:
    bool failed_ = false;
    std::string reason_;
    int code_ = 0;
};
