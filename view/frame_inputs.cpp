#include "view/frame_inputs.h"

#include <cstdint>
#include <type_traits>

namespace {

class Value_Writer {
public:
    explicit Value_Writer(double* to) : to_(to) {}

    template <typename T>
    void put(const T& value) {
        if constexpr (std::is_enum_v<T>)
            *to_++ = static_cast<double>(static_cast<int>(value));
        else
            *to_++ = static_cast<double>(value);
    }
    template <typename T, std::size_t N>
    void put(const T (&values)[N]) {
        for (const T& value : values) put(value);
    }
    template <typename T>
    void put(const std::deque<T>& queue) {
        put(queue.size());
    }
    template <typename T>
    void put(const std::vector<T>& model) {
        put(reinterpret_cast<std::uintptr_t>(model.data()));
        put(model.size());
    }

private:
    double* to_;
};

}  // namespace

Frame_Inputs::Frame_Inputs(const View_State& v, int w, int h) {
    Value_Writer out(values_.data());
    out.put(w);
    out.put(h);
    std::apply([&](auto... member) { (out.put(v.*member), ...); }, kFrameInputs);
}
