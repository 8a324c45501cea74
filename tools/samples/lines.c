/* LINES: a module of many short statements, so that a Source window in mixed mode
 * fills all its lines from one file (each statement is a few instructions). main
 * runs the three stages in turn and returns the checksum; `calls` (a word of the
 * debugger's command language too) counts the stages run. */
#include "server.h"

int g_stage[3];
int calls;

static int Mix(int value) {
  calls++;
  value = value * 3 + 1;
  value = value ^ 0x55;
  value = value * 3 + 1;
  value = value ^ 0x55;
  value = value * 3 + 1;
  value = value ^ 0x55;
  value = value * 3 + 1;
  value = value ^ 0x55;
  value = value * 3 + 1;
  value = value ^ 0x55;
  value = value * 3 + 1;
  value = value ^ 0x55;
  value = value * 3 + 1;
  value = value ^ 0x55;
  value = value * 3 + 1;
  value = value ^ 0x55;
  value = value * 3 + 1;
  value = value ^ 0x55;
  value = value * 3 + 1;
  value = value ^ 0x55;
  return value;
}

static int Fold(int value) {
  calls++;
  value = value + (value >> 2);
  value = value - 7;
  value = value + (value >> 2);
  value = value - 7;
  value = value + (value >> 2);
  value = value - 7;
  value = value + (value >> 2);
  value = value - 7;
  value = value + (value >> 2);
  value = value - 7;
  value = value + (value >> 2);
  value = value - 7;
  value = value + (value >> 2);
  value = value - 7;
  value = value + (value >> 2);
  value = value - 7;
  value = value + (value >> 2);
  value = value - 7;
  value = value + (value >> 2);
  value = value - 7;
  return value;
}

static int Spread(int value) {
  calls++;
  value = value * 5 - 3;
  value = value | 0x100;
  value = value * 5 - 3;
  value = value | 0x100;
  value = value * 5 - 3;
  value = value | 0x100;
  value = value * 5 - 3;
  value = value | 0x100;
  value = value * 5 - 3;
  value = value | 0x100;
  value = value * 5 - 3;
  value = value | 0x100;
  value = value * 5 - 3;
  value = value | 0x100;
  value = value * 5 - 3;
  value = value | 0x100;
  value = value * 5 - 3;
  value = value | 0x100;
  value = value * 5 - 3;
  value = value | 0x100;
  return value;
}

int main(void) {
  int value = 1;
  value = Mix(value);
  g_stage[0] = value;
  value = Fold(value);
  g_stage[1] = value;
  value = Spread(value);
  g_stage[2] = value;
  ServerPrint("LINES done\n");
  return value & 0xFF;
}
