/* The services a sample module asks of the server. On the test bench the server is
 * the stand-in agent, which catches the service interrupt and reads its request from
 * the registers: eax holds the service number, ebx its argument. Everything that
 * depends on how the stand-in is entered sits in this one header, so a different way
 * in (a call to a fixed address, another vector) changes only the bodies below.
 *
 * The functions are static inline on purpose: each module gets its own out-of-line
 * copy at -O0, so its line table also holds lines of this header. */
#ifndef ZENTOR_SAMPLES_SERVER_H
#define ZENTOR_SAMPLES_SERVER_H

#define SERVER_SERVICE_VECTOR 0x40
#define SERVER_SERVICE_PRINT 1

/* Writes a NUL-terminated text to the server console. */
static inline void ServerPrint(const char *text) {
  __asm__ volatile("int %0" : : "i"(SERVER_SERVICE_VECTOR), "a"(SERVER_SERVICE_PRINT), "b"(text) : "memory");
}

#endif
