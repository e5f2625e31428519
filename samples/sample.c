/* A small program laid out by hand, badly: run qfmt over it. */
#include <stdio.h>
#include <string.h>

#define SQUARE(x) \
        ((x) * (x))

enum { RED = 1, GREEN, BLUE };

struct point { int x; int y; };

static int classify(const char *word) {
    int length = strlen(word);   /* no terminator counted */
    switch (length) {
    case 0: return -1;
    case 1:
    case 2: return 0;
    default:
      if (word[0] == '#') return 2; else return 1;
    }
}

int main(int argc, char **argv)
{
  int i; struct point p = { 0, 0 };
  for (i = 1; i < argc; i++) { if (classify(argv[i]) > 0) p.x += SQUARE(i); else p.y--; }
  // report what was found
  printf("%d %d\n", p.x, p.y);
  while (p.x > 100) p.x = p.x / 2;
  return p.x + p.y > 0 ? 0 : 1;
}
