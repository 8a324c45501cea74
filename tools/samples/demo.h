/* Declarations shared by the two source files of the DEMO module. */
#ifndef ZENTOR_SAMPLES_DEMO_H
#define ZENTOR_SAMPLES_DEMO_H

enum color { COLOR_RED, COLOR_GREEN = 5, COLOR_BLUE };

struct point {
  int x;
  int y;
  char name[8];
  enum color shade;
  struct point *next;
};

typedef int (*operation_fn)(int left, int right);

extern struct point g_origin;
extern struct point *g_current;
extern int g_divisor;

int f(int n, int square);
int g(int left, int right);
int Factorial(int n);
int Divide(int dividend, int divisor);
void FormatNumber(int value, char *text);

#endif
