/* SPIN: a module whose thread ends in a routine that never returns, for the run
 * control no breakpoint ends: a halt, a wait cut short by Ctrl+C, a go while the
 * target runs. It prints nothing, so nothing stops its run on the way. */
int g_laps = 1;

static void Lap(void) {
  g_laps++;
}

/* One instruction that jumps to itself: wherever a halt finds the thread, it stands
 * at the start of the loop's line. */
static void Spin(void) {
  __asm__ volatile("0: jmp 0b");
}

int main(void) {
  Lap();
  Spin();
  return g_laps;
}
