/* The program a GDB client and its server debug while scripts/bench-against-gdb times
 * them: a 32-bit Linux process doing what the sample modules do in the benchmark
 * programs, so that both debuggers do the same work. It is built from DEMO's
 * arithmetic (tools/samples/demo_calc.c: g, f, Factorial), VIEWS's data
 * (tools/samples/views.c, its main renamed and never called) and this file, with
 * linux_server.h in place of the server's services. Like a server module it runs
 * without the C library (its own _start, no shared libraries), so GDB's symbols are
 * the program's alone.
 *
 * It stops, in order, where the GDB side of the comparison sets its breakpoints:
 *   MemoryFilled   g_memory holds 16 MiB of a known pattern (word i = i * 2654435761);
 *   Factorial      100 calls deep, at its test of n (main below them: 101 frames);
 *   LeafSpinning   twenty frames deep (main, eighteen DescendTo frames, LeafSpinning)
 *                  over VIEWS's data, spinning until the debugger clears g_stay;
 *   the loop       DEMO's: main calls f for five turns, f calls g (the breakpoint and
 *                  passpoint site), then RoundEnd, again and again. */
#include "demo.h"

#define MEMORY_WORDS (16u << 18)
#define PATTERN_FACTOR 2654435761u

unsigned int g_memory[MEMORY_WORDS];
volatile int g_stay = 1;
int g_squares[5];
static int s_rounds;

/* VIEWS's data, defined in views.c. */
extern int g_small[100];
extern int g_large[5000];
extern long g_counter;

static void FillMemory(void) {
  unsigned int index;
  for (index = 0; index < MEMORY_WORDS; index++) g_memory[index] = index * PATTERN_FACTOR;
}

static void FillTable(int *table, int count, int step) {
  int index;
  for (index = 0; index < count; index++) table[index] = index * step;
}

void MemoryFilled(void) {}

/* VIEWS's Leaf, kept where a step leaves it: each step of the debugger stops at the
 * same depth. */
static int LeafSpinning(int depth) {
  register int scratch = depth * 2;
  while (g_stay) g_counter += scratch;
  return scratch;
}

static int DescendTo(int depth) {
  if (depth == 18) return LeafSpinning(depth);
  return DescendTo(depth + 1) + 1;
}

void RoundEnd(int total) { s_rounds += total != 0; }

int main(void) {
  int i;
  int total = 0;
  FillMemory();
  FillTable(g_small, 100, 3);
  FillTable(g_large, 5000, 1);
  MemoryFilled();
  total = Factorial(100);
  total += DescendTo(1);
  for (;;) {
    for (i = 0; i < 5; i++) {
      int square = i * i;
      g_squares[i] = square;
      total += f(i, square);
    }
    RoundEnd(total);
  }
  return total;
}

/* The process's entry: main's value is the exit status (main never returns here). */
__asm__(".globl _start\n"
        "_start:\n"
        "  xorl %ebp, %ebp\n"
        "  call main\n"
        "  movl %eax, %ebx\n"
        "  movl $1, %eax\n"
        "  int $0x80\n");
