/* BARE: a module without initialised data (its variables are all zero-filled, so
 * it has no .data, only .bss) and with a routine written in assembly that sets up
 * no frame, for the symbol converter's and the manifest's sake. */
#include "server.h"

int g_total;
static unsigned short s_calls;

/* Twice(value) = 2 * value, counting its calls in s_seen. Naked: no prologue, the
 * argument is read through esp, and ebp still holds the caller's frame. */
int Twice(int value) __attribute__((naked));
int Twice(int value __attribute__((unused))) {
  static int s_seen __asm__("bare_twice_seen") __attribute__((used));
  __asm__(
      "incl bare_twice_seen\n\t"
      "movl 4(%esp), %eax\n\t"
      "addl %eax, %eax\n\t"
      "ret");
}

int main(void) {
  int i;
  for (i = 0; i < 3; i++) {
    g_total += Twice(i);
    s_calls++;
  }
  ServerPrint("BARE done\n");
  return g_total;
}
