// The program's own versions of the runtime's error paths, linked as the program links them:
// the standard containers' errors still carry the runtime's texts, so the default error handler
// shows what it always showed. Without GoogleTest, which would bring the runtime's versions back.

#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

struct Case {
  const char* name;
  void (*raise)();
  const char* text;
};

const Case kCases[] = {
    {"string from null", [] { std::string text(static_cast<const char*>(nullptr)); },
     "basic_string: construction from null is not valid"},
    {"substr past the end", [] { (void)std::string("abc").substr(5); },
     "basic_string::substr: __pos (which is 5) > this->size() (which is 3)"},
    {"wide erase past the end", [] { std::wstring(L"ab").erase(7); },
     "basic_string::erase: __pos (which is 7) > this->size() (which is 2)"},
    {"vector at past the end", [] { (void)std::vector<int>(2).at(12); },
     "vector::_M_range_check: __n (which is 12) >= this->size() (which is 2)"},
    {"vector reserve beyond its maximum", [] { std::vector<int>().reserve(std::vector<int>().max_size() + 1); },
     "vector::reserve"},
    {"string beyond its maximum", [] { std::string().reserve(std::string().max_size() + 1); },
     "basic_string::_M_create"},
};

}  // namespace

int main() {
  int failures = 0;
  for (const Case& c : kCases) {
    try {
      c.raise();
      std::printf("FAILED %s: nothing raised\n", c.name);
      ++failures;
    } catch (const std::logic_error& error) {
      // The runtime's own version ran: the program would carry its weight again.
      std::printf("FAILED %s: raised by the runtime's own version (%s)\n", c.name, error.what());
      ++failures;
    } catch (const std::exception& error) {
      if (std::strcmp(error.what(), c.text) != 0) {
        std::printf("FAILED %s: \"%s\", wanted \"%s\"\n", c.name, error.what(), c.text);
        ++failures;
      }
    }
  }
  std::printf("%d of %d cases passed\n", static_cast<int>(std::size(kCases)) - failures,
              static_cast<int>(std::size(kCases)));
  return failures ? 1 : 0;
}
