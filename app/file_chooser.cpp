#include "app/file_chooser.h"

#include <FL/Fl_Native_File_Chooser.H>

#include <string>

#include "app/app_globals.h"
#include "app/chooser_folders.h"
#include "view/gl_display_3d.h"

namespace {

int native_type(File_Chooser::Type type) {
    return type == File_Chooser::Browse_File ? Fl_Native_File_Chooser::BROWSE_FILE
                                             : Fl_Native_File_Chooser::BROWSE_SAVE_FILE;
}

class Native_File_Chooser : public File_Chooser {
public:
    explicit Native_File_Chooser(Type type) : chooser_(native_type(type)), type_(type) {}
    void title(const char* text) override { chooser_.title(text); }
    void type(Type type) override {
        type_ = type;
        chooser_.type(native_type(type));
    }
    void filter(const char* text) override { chooser_.filter(text); }
    void directory(const char* dir) override { chooser_.directory(dir); }
    const char* directory() const override { return chooser_.directory(); }
    void preset_file(const char* name) override { chooser_.preset_file(name); }
    Result show() override {
        // Opened on a real folder, where a bare name typed is saved.
        const std::string start =
            type_ == Browse_Save_File
                ? save_start_folder(chooser_.directory(), gl_view->startup_dir)
                : load_start_folder(chooser_.directory());
        if (!start.empty()) chooser_.directory(start.c_str());
        const int result = chooser_.show();
        return result == 0 ? Picked : result == 1 ? Cancelled : Failed;
    }
    const char* filename() const override { return chooser_.filename(); }
    const char* errmsg() const override { return chooser_.errmsg(); }

private:
    Fl_Native_File_Chooser chooser_;
    Type type_;
};

File_Chooser_Factory& factory() {
    static File_Chooser_Factory f;
    return f;
}

}  // namespace

std::unique_ptr<File_Chooser> make_file_chooser(File_Chooser::Type type) {
    if (factory()) return factory()(type);
    return std::make_unique<Native_File_Chooser>(type);
}

void set_file_chooser_factory(File_Chooser_Factory f) { factory() = std::move(f); }
