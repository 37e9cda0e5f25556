/* BearSSL as both programs build it (forced in before its own config.h):
 * only portable C, the same code on the host and on the device. The device
 * has no /dev/urandom, no time(), no CPU feature probes; the TLS layer seeds
 * the engine from CryptGenRandom and sets the time from GetSystemTime. */
#define BR_USE_URANDOM 0
#define BR_USE_WIN32_RAND 0
#define BR_USE_UNIX_TIME 0
#define BR_USE_WIN32_TIME 0
#define BR_RDRAND 0
#define BR_AES_X86NI 0
#define BR_SSE2 0
#define BR_POWER8 0
#define BR_INT128 0
#define BR_UMUL128 0
#define BR_LE_UNALIGNED 0
#define BR_BE_UNALIGNED 0
