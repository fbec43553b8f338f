// Writes the benchmark inputs into a folder, the same bytes on every run:
// random pairs with LF and with CR LF line ends, one pair, and legal but
// unusual texts (long white-space runs, CR runs, long leading-zero runs,
// values of every length).
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// A fixed 64-bit generator (splitmix64), so the files do not depend on the
// standard library's distributions.
struct Random {
  std::uint64_t state;
};

std::uint64_t next(Random* r) {
  std::uint64_t z = (r->state += 0x9E3779B97F4A7C15u);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  return z ^ (z >> 31);
}

int sample(Random* r) { return static_cast<int>(next(r) & 0xFFFF) - 32768; }

bool writeText(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

std::string pairLines(std::uint64_t pairs, const char* lineEnd) {
  Random r{1};
  std::string text;
  char line[32];
  for (std::uint64_t i = 0; i < pairs; ++i) {
    const int a = sample(&r);
    const int b = sample(&r);
    std::snprintf(line, sizeof line, "%d %d%s", a, b, lineEnd);
    text += line;
  }
  return text;
}

// Values separated by 0..400 bytes of mixed white space.
std::string whiteSpaceRuns(std::size_t bytes) {
  Random r{2};
  static const char kBlanks[] = " \t\n\v\f";
  std::string text;
  while (text.size() < bytes) {
    text += std::to_string(sample(&r));
    const std::uint64_t run = 1 + next(&r) % 400;
    for (std::uint64_t i = 0; i < run; ++i) text += kBlanks[next(&r) % 5];
  }
  return text;
}

// Every value on its own CR LF line, with CR LF blank lines between, and
// line ends of several CRs before the LF.
std::string crRuns(std::size_t bytes) {
  Random r{3};
  std::string text;
  while (text.size() < bytes) {
    text += std::to_string(sample(&r));
    text += std::string(1 + next(&r) % 4, '\r');
    text += '\n';
    if (next(&r) % 2) text += "\r\n";
  }
  return text;
}

// Every value with 0..80 leading zeros.
std::string leadingZeros(std::size_t bytes) {
  Random r{4};
  std::string text;
  while (text.size() < bytes) {
    for (int k = 0; k < 2; ++k) {
      const int v = sample(&r);
      if (v < 0) text += '-';
      text += std::string(next(&r) % 81, '0');
      text += std::to_string(v < 0 ? -static_cast<long>(v) : v);
      text += k == 0 ? ' ' : '\n';
    }
  }
  return text;
}

// Values of 1 to 20 digits: an in-range value plus a random multiple of
// 2^32, which reads back as the same value.
std::string everyLength(std::size_t bytes) {
  Random r{5};
  std::string text;
  char value[32];
  while (text.size() < bytes) {
    for (int k = 0; k < 2; ++k) {
      const unsigned digits = 1 + static_cast<unsigned>(next(&r) % 20);
      std::uint64_t v;
      if (digits <= 4) {
        v = next(&r) % 10000;
      } else {
        const std::uint64_t wraps = (next(&r) >> 32) >> (next(&r) % 33);  // 0 .. 2^32 - 1
        v = (static_cast<std::uint64_t>(static_cast<std::uint32_t>(sample(&r))) + (wraps << 32));
      }
      std::snprintf(value, sizeof value, "%" PRIu64, v);
      text += value;
      text += k == 0 ? ' ' : '\n';
    }
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gen_inputs FOLDER\n");
    return 2;
  }
  const std::string dir = argv[1];
  const std::size_t kUnusualBytes = 64u << 20;
  const struct {
    const char* name;
    std::string text;
  } inputs[] = {
      {"pairs_lf.txt", pairLines(10000000, "\n")},
      {"pairs_crlf.txt", pairLines(10000000, "\r\n")},
      {"one_pair.txt", "1 -1\n"},
      {"white_space_runs.txt", whiteSpaceRuns(kUnusualBytes)},
      {"cr_runs.txt", crRuns(kUnusualBytes)},
      {"leading_zeros.txt", leadingZeros(kUnusualBytes)},
      {"every_length.txt", everyLength(kUnusualBytes)},
  };
  for (const auto& input : inputs) {
    if (!writeText(dir + "/" + input.name, input.text)) {
      std::fprintf(stderr, "cannot write %s/%s\n", dir.c_str(), input.name);
      return 1;
    }
  }
  return 0;
}
