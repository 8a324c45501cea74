/* The stand-in agent's sample module: a little code and data at fixed addresses, so
   that tests can read, write and run known bytes. Built freestanding for i386. */

int counter;
int values[16] = {3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8, 9, 7, 9, 3};
const char greeting[] = "Hello from the sample module";

static int square(int x) { return x * x; }

int sum_of_squares(int n) {
  int sum = 0;
  for (int i = 0; i < n; ++i) sum += square(values[i]);
  return sum;
}

void module_entry(void) {
  counter = sum_of_squares(16);
  __asm__ volatile("int3");
  for (int i = 0; i < 4; ++i) counter += values[i];
}
