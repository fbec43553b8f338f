/* The straightforward C stdio version of the tool, for comparison only (not
 * part of the product): fscanf("%d %d") twice over the input, fwrite per
 * frame. No messages, no text-mode rule; status 0 or 1. */
#include <cstdint>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc != 3) return 1;
  FILE* in = fopen(argv[1], "r");
  if (in == NULL) return 1;
  int a, b;
  uint32_t pairs = 0;
  while (fscanf(in, "%d %d", &a, &b) == 2) {
    if (a < -32768 || a > 32767 || b < -32768 || b > 32767) return 1;
    ++pairs;
  }
  fclose(in);
  if (pairs == 0) return 1;
  in = fopen(argv[1], "r");
  FILE* out = fopen(argv[2], "wb");
  if (in == NULL || out == NULL) return 1;
  const uint32_t data = 4 * pairs;
  const uint32_t riff = data + 36;
  unsigned char h[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0,
                         0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0, 4, 0, 16, 0, 'd', 'a', 't', 'a', 0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) {
    h[4 + i] = (unsigned char)(riff >> (8 * i));
    h[40 + i] = (unsigned char)(data >> (8 * i));
  }
  if (fwrite(h, 44, 1, out) != 1) return 1;
  while (fscanf(in, "%d %d", &a, &b) == 2) {
    const unsigned char f[4] = {(unsigned char)a, (unsigned char)(a >> 8), (unsigned char)b, (unsigned char)(b >> 8)};
    if (fwrite(f, 4, 1, out) != 1) return 1;
  }
  fclose(in);
  return fclose(out) == 0 ? 0 : 1;
}
