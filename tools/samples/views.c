/* VIEWS: data shaped for the debugger's data views and their timing: arrays of 100,
 * 5,000 and 6,000 ints, a wide-character text, a structure holding an array of
 * structures, a procedure whose local comes and goes, a local kept in a register, and
 * a call chain twenty frames deep. */
#include "server.h"

struct point {
  int x;
  int y;
};

struct shape {
  char name[8];
  struct point corners[4];
  unsigned char colour;
};

int g_small[100];
int g_large[5000];
int g_oversized[6000];
unsigned short g_wide[8] = {'W', 'i', 'd', 'e', 0};
struct shape g_shape = {"square", {{0, 0}, {4, 0}, {4, 4}, {0, 4}}, 2};
char g_letter = 'Q';
long g_counter;

static void Fill(int *table, int count, int step) {
  int index;
  for (index = 0; index < count; index++) table[index] = index * step;
}

static int Leaf(int depth) {
  register int scratch = depth * 2;
  g_counter += scratch;
  return scratch;
}

/* main, eighteen Descend frames and Leaf: twenty frames at Leaf. */
static int Descend(int depth) {
  if (depth == 18) return Leaf(depth);
  return Descend(depth + 1) + 1;
}

int main(void) {
  int total;
  ServerPrint("VIEWS starts\n");
  Fill(g_small, 100, 3);
  Fill(g_large, 5000, 1);
  Fill(g_oversized, 6000, 2);
  total = Descend(1);
  g_letter = 'R';
  total += Descend(1);
  ServerPrint("VIEWS ends\n");
  return total;
}
