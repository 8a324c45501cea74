/* The arithmetic of the DEMO module: the callees of main, a recursion and the
 * division that faults when its divisor is 0. */
#include "demo.h"
#include "server.h"

static int s_calls;

int g(int left, int right) {
  int sum = left + right;
  int product = left * right;
  s_calls++;
  return sum + product;
}

int f(int n, int square) {
  int result = g(n, square);
  if (n == 3) {
    int bonus = 100;
    result += bonus;
    ServerPrint("three\n");
  }
  return result;
}

int Factorial(int n) {
  if (n <= 1) return 1;
  return n * Factorial(n - 1);
}

int Divide(int dividend, int divisor) {
  int quotient = dividend / divisor;
  return quotient;
}

/* Decimal text of a value; text must hold 12 characters. */
void FormatNumber(int value, char *text) {
  char digits[12];
  int count = 0;
  unsigned int rest = value < 0 ? 0u - (unsigned int)value : (unsigned int)value;
  do {
    digits[count++] = (char)('0' + rest % 10);
    rest /= 10;
  } while (rest != 0);
  if (value < 0) *text++ = '-';
  while (count > 0) *text++ = digits[--count];
  *text = '\0';
}
