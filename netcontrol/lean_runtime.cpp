// The C++ runtime's allocation and error paths for NetworkControl.dll, which is built without
// exceptions. The runtime's own versions raise exceptions, and with them come the unwinder, its
// thread library, two string instantiations and the demangling terminate handler: four fifths of
// the library's size, for a few calls that never see them.
//
// Its containers hold a few adapter names, so allocation failing means the process has no memory
// left at all; the library then ends the process, as a runtime without exceptions does.

#include <cstddef>
#include <cstdlib>
#include <new>

void* operator new(std::size_t size) {
  if (void* block = std::malloc(size ? size : 1)) return block;
  std::abort();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }
void operator delete[](void* block, std::size_t) noexcept { std::free(block); }

namespace __gnu_cxx {
void __verbose_terminate_handler() { std::abort(); }
}  // namespace __gnu_cxx

// What the containers and std::function call on misuse or a size past their bound: no path of
// the library comes near them.
namespace std {
void __throw_bad_alloc() { std::abort(); }
void __throw_bad_array_new_length() { std::abort(); }
void __throw_bad_function_call() { std::abort(); }
void __throw_length_error(const char*) { std::abort(); }
void __throw_logic_error(const char*) { std::abort(); }
void __throw_out_of_range_fmt(const char*, ...) { std::abort(); }
}  // namespace std
