// Lighter versions of the C++ runtime's error paths, linked into the program alone.
//
// The runtime's own versions raise std::length_error, std::out_of_range and std::logic_error,
// whose strings are the old copy-on-write kind: they pull in two whole string instantiations
// (about 70 KB of the program). Its default terminate handler prints the demangled type of the
// error to a console that a GUI program has not got (another 60 KB). The program catches these
// errors only as std::exception and shows what(), so each is raised as an error of the same
// text, and terminate ends the process as before.

#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <exception>
#include <new>

namespace {

// Owns its text, so the error can travel after the caller's buffers have gone.
class RuntimeError final : public std::exception {
public:
  explicit RuntimeError(const char* text) noexcept {
    for (const char* c = text; *c; ++c) Put(*c);
  }
  // The pattern with the runtime's "%s", "%zu" and "%%" fields filled from the arguments.
  RuntimeError(const char* pattern, std::va_list arguments) noexcept {
    for (const char* p = pattern; *p; ++p) {
      if (p[0] == '%' && p[1] == 's') {
        for (const char* s = va_arg(arguments, const char*); *s; ++s) Put(*s);
        ++p;
      } else if (p[0] == '%' && p[1] == 'z' && p[2] == 'u') {
        char digits[24];
        int count = 0;
        std::size_t value = va_arg(arguments, std::size_t);
        do {
          digits[count++] = static_cast<char>('0' + value % 10);
          value /= 10;
        } while (value);
        while (count) Put(digits[--count]);
        p += 2;
      } else if (p[0] == '%' && p[1] == '%') {
        Put('%');
        ++p;
      } else {
        Put(*p);
      }
    }
  }

  const char* what() const noexcept override { return text_; }

private:
  void Put(char c) noexcept {
    if (used_ + 1 < sizeof text_) text_[used_++] = c;
  }

  char text_[512] = {};
  std::size_t used_ = 0;
};

}  // namespace

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

namespace std {
void __throw_bad_alloc() { throw std::bad_alloc(); }
void __throw_bad_array_new_length() { throw std::bad_array_new_length(); }
void __throw_length_error(const char* text) { throw RuntimeError(text); }
void __throw_logic_error(const char* text) { throw RuntimeError(text); }
void __throw_out_of_range_fmt(const char* pattern, ...) {
  std::va_list arguments;
  va_start(arguments, pattern);
  const RuntimeError error(pattern, arguments);
  va_end(arguments);
  throw error;
}
}  // namespace std
