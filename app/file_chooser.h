#pragma once

#include <functional>
#include <memory>

// The file dialog as the two file commands use it. In the program it is
// FLTK's native chooser; tests put a scripted one in its place.
class File_Chooser {
public:
    enum Type { Browse_File, Browse_Save_File };
    enum Result { Picked, Cancelled, Failed };  // Failed: errmsg() says why

    virtual ~File_Chooser() = default;
    virtual void title(const char* text) = 0;
    virtual void type(Type type) = 0;
    virtual void filter(const char* text) = 0;
    virtual void directory(const char* dir) = 0;
    virtual const char* directory() const = 0;  // nullptr when none is set
    virtual void preset_file(const char* name) = 0;
    virtual Result show() = 0;
    virtual const char* filename() const = 0;
    virtual const char* errmsg() const = 0;
};

using File_Chooser_Factory = std::function<std::unique_ptr<File_Chooser>(File_Chooser::Type)>;

std::unique_ptr<File_Chooser> make_file_chooser(File_Chooser::Type type);

// Replaces the native chooser (tests); an empty factory restores it.
void set_file_chooser_factory(File_Chooser_Factory factory);
