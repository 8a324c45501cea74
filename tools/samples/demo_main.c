/* DEMO: the module the debugger's source-level tests run. main calls f for each
 * turn of a counted loop (a conditional breakpoint on i == 3 stops in the fourth
 * turn), f calls g, and the last statement divides by g_divisor, which stays 0 unless
 * the debugger changes it. */
#include "demo.h"
#include "server.h"

struct point g_origin = {10, 20, "origin", COLOR_GREEN, 0};
struct point g_corner = {30, 40, "corner", COLOR_BLUE, &g_origin};
struct point *g_current = &g_corner;
enum color g_color = COLOR_RED;
int g_squares[5];
int g_divisor;
operation_fn g_operation = g;
static int s_runs;

static void PrintValue(const char *label, int value) {
  char text[16];
  ServerPrint(label);
  FormatNumber(value, text);
  ServerPrint(text);
  ServerPrint("\n");
}

int main(void) {
  int i;
  int total = 0;

  ServerPrint("DEMO starts\n");
  for (i = 0; i < 5; i++) {
    int square = i * i;
    g_squares[i] = square;
    total += f(i, square);
  }
  PrintValue("total ", total);

  g_current->x = g_operation(total, 2);
  g_color = g_current->shade;
  PrintValue("factorial ", Factorial(5));
  s_runs++;
  return Divide(total, g_divisor);
}
