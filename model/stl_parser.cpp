#include "model/stl_parser.h"

#include <algorithm>
#include <cstring>

bool Stl_Parser::feed(const unsigned char* data, std::size_t n) {
    if (stopped_) return false;
    if (!form_known_) {
        const std::size_t take = std::min(n, stl_header::kHeadSize - head_len_);
        std::memcpy(head_ + head_len_, data, take);
        head_len_ += take;
        data += take;
        n -= take;
        if (head_len_ < stl_header::kHeadSize) return true;
        choose_form();
        if (stopped_) return false;
    }
    stopped_ = report_.form == Stl_Form::Binary ? !binary_.feed(data, n) : !ascii_.feed(data, n);
    return !stopped_;
}

void Stl_Parser::choose_form() {
    form_known_ = true;
    report_.declared_count = stl_header::declared_count(head_, head_len_);
    report_.form = stl_header::form(head_, head_len_);
    if (report_.form == Stl_Form::Binary) {
        stopped_ = !binary_.start(report_.declared_count, size_hint_);
    } else {
        ascii_.start(size_hint_);
        stopped_ = !ascii_.feed(head_, head_len_);  // the head is text too
    }
}

void Stl_Parser::finish() {
    if (!form_known_) choose_form();  // shorter than a head: the missing bytes count as zero
    if (report_.form == Stl_Form::Binary)
        binary_.finish();
    else
        ascii_.finish();
}
