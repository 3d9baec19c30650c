// Dropped file lists: which entry names a local STL file, and which file.
#include <gtest/gtest.h>

#include "platform/uri_list.h"

namespace {

struct Case {
    const char* text;
    const char* path;  // "" when it names no local (STL) file
};

TEST(Uri_List, EntriesToLocalNames) {
    const Case cases[] = {
        {"file:///home/a/x.stl", "/home/a/x.stl"},
        {"file://localhost/home/a/x.stl", "/home/a/x.stl"},
        {"FILE://LocalHost/x.stl", "/x.stl"},
        {"file:/home/a/x.stl", "/home/a/x.stl"},
        {"file:///a%20b/%C3%A9%2541.stl", "/a b/\xC3\xA9%41.stl"},
        {"file:///%e4%b8%8a%2f.stl", "/\xE4\xB8\x8A/.stl"},  // lower-case hex as well
        {"file:///bad%zz%4", "/bad%zz%4"},                   // no two hex digits: kept
        {"file:///cut%00.stl", ""},                          // a NUL cannot be in a name
        {"file://otherhost/x.stl", ""},
        {"file://localhostx/x.stl", ""},
        {"file:x.stl", ""},
        {"http://example/x.stl", ""},
        {"/plain/100%20.stl", "/plain/100%20.stl"},  // a path is taken as it is
        {"relative/x.stl", "relative/x.stl"},
        {"dir/a:1.stl", "dir/a:1.stl"},  // a colon after a slash is no scheme
    };
    for (const Case& c : cases)  // "" stands for nothing: no path found is ever empty
        EXPECT_EQ(platform::local_path_from_uri(c.text).value_or(""), c.path) << c.text;
}

TEST(Uri_List, FirstStlWins) {
    const Case cases[] = {
        {"file:///a.txt\r\nfile:///b.STL\r\nfile:///c.stl\r\n", "/b.STL"},
        {"# /comment.stl\nfile:///d.stl", "/d.stl"},
        {"http://host/f.stl\r\nfile://host/g.stl\r\n/h.stl\r\n", "/h.stl"},
        {"file:///i.stl.txt\r\nfile:///stl\r\nfile:///dir/.stl\r\n", ""},  // ".stl" names no model
        {"file:///no%00.stl\nfile:///j.stl", "/j.stl"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::first_stl_in_uri_list(c.text).value_or(""), c.path) << c.text;
}

}  // namespace
