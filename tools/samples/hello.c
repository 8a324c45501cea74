/* HELLO: a second, small module, loaded at other bases than DEMO, for tests of
 * module loads and of symbols from more than one module. */
#include "server.h"

static const char *s_greetings[] = {"Hello", "from", "HELLO"};
int g_greeted;

static void Greet(const char *word) {
  ServerPrint(word);
  ServerPrint(" ");
  g_greeted++;
}

int main(void) {
  unsigned short turn;
  for (turn = 0; turn < 3; turn++) Greet(s_greetings[turn]);
  ServerPrint("\n");
  return g_greeted;
}
