#include "app/file_chooser.h"

#include <FL/Fl_Native_File_Chooser.H>

namespace {

int native_type(File_Chooser::Type type) {
    return type == File_Chooser::Browse_File ? Fl_Native_File_Chooser::BROWSE_FILE
                                             : Fl_Native_File_Chooser::BROWSE_SAVE_FILE;
}

class Native_File_Chooser : public File_Chooser {
public:
    explicit Native_File_Chooser(Type type) : chooser_(native_type(type)) {}
    void title(const char* text) override { chooser_.title(text); }
    void type(Type type) override { chooser_.type(native_type(type)); }
    void filter(const char* text) override { chooser_.filter(text); }
    void directory(const char* dir) override { chooser_.directory(dir); }
    const char* directory() const override { return chooser_.directory(); }
    void preset_file(const char* name) override { chooser_.preset_file(name); }
    Result show() override {
        const int result = chooser_.show();
        return result == 0 ? Picked : result == 1 ? Cancelled : Failed;
    }
    const char* filename() const override { return chooser_.filename(); }
    const char* errmsg() const override { return chooser_.errmsg(); }

private:
    Fl_Native_File_Chooser chooser_;
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
