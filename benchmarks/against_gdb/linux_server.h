/* The server's services for the sample modules' code built into a Linux process (the
 * GDB side of scripts/bench-against-gdb): the print service becomes a write to the
 * standard output. Given to the compiler first (gcc -include), it takes the place of
 * tools/samples/server.h, whose include guard it defines. */
#ifndef ZENTOR_SAMPLES_SERVER_H
#define ZENTOR_SAMPLES_SERVER_H

#define LINUX_SYSCALL_WRITE 4

static inline void ServerPrint(const char *text) {
  unsigned int length = 0;
  int result = LINUX_SYSCALL_WRITE;
  while (text[length] != '\0') length++;
  __asm__ volatile("int $0x80" : "+a"(result) : "b"(1), "c"(text), "d"(length) : "memory");
}

#endif
