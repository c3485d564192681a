/*
 * FNCryptLib: the native cipher library ("DLL Fast Mode").
 *
 * It computes exactly what the program's built-in cipher computes: RC4 keyed
 * directly with the key bytes, and the printable encoding that turns every 3
 * bytes into 4 characters from '?' (63) to '~' (126). Secured text and files
 * record no mode, so what one engine writes the other reads.
 *
 * Buffers belong to the caller. Every length and result is a signed 32-bit
 * count; the sizes each output buffer must have are given above its function.
 * Inputs are never written to. The library holds one RC4 keystream per
 * process; it is not thread-safe.
 *
 * On x86 processors with SSSE3 or AVX2 the encoding and decoding use those
 * instructions, chosen at run time (the library itself needs neither); every
 * implementation writes the same bytes.
 */
#ifndef FNCRYPTLIB_H
#define FNCRYPTLIB_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(FNCRYPTLIB_BUILD)
#define FNCRYPTLIB_API __declspec(dllexport)
#else
#define FNCRYPTLIB_API __declspec(dllimport)
#endif
#else
#define FNCRYPTLIB_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Keys RC4 with key[0 .. keyLength) and restarts the keystream. Only the first
 * 256 bytes take part; a key longer than that keys as its first 256 bytes.
 * option: 0 (other values are reserved and treated as 0).
 * key must hold keyLength bytes, keyLength >= 1. A keyLength below 1 leaves
 * the keystream as it was and returns -1; otherwise returns 0.
 */
FNCRYPTLIB_API int32_t InitCipher(const uint8_t* key, int32_t keyLength, int16_t option);

/*
 * output[i] = input[i] XOR the next keystream byte, for i in [0, length).
 * The keystream runs on across calls until the next InitCipher.
 * input: length bytes. output: at least length bytes; it may be input itself
 * (ciphering in place), but must not overlap it otherwise.
 * Returns length; 0 when length < 1 or a buffer is null, and then the
 * keystream does not move.
 */
FNCRYPTLIB_API int32_t CipherBuffer(const uint8_t* input, int32_t length, uint8_t* output);

/*
 * Encodes length bytes into 4 * ceil(length / 3) characters '?'..'~'. Reads
 * only the length bytes given; a last partial group is filled with spaces
 * (0x20), as the built-in encoder fills it, so both engines write the same bytes.
 * input: length bytes. output: at least (length / 3 + 1) * 4 bytes; exactly
 * 4 * ceil(length / 3) of them are written.
 * Returns the count written, 4 * ceil(length / 3) (0 when length < 1 or a
 * buffer is null).
 */
FNCRYPTLIB_API int32_t EncodeText(const uint8_t* input, int32_t length, uint8_t* output);

/*
 * Decodes text[0 .. 4 * floor(length / 4)) group by group: each character's
 * value is its code minus 63, characters below '?' count as 0, '0' reads as
 * '|'. Up to 3 characters after the last whole group are ignored.
 * This is exactly what the built-in decoder gives for any text of 4 or more
 * characters, not only for text the encoder wrote.
 * text: length bytes. output: at least length bytes; nothing at or past
 * 3 * floor(length / 4) is written.
 * Returns 3 * floor(length / 4); 0 when length < 4 or a buffer is null, and 0
 * when the first character of any group has a code of 127 or more (its value
 * does not fit in a byte; the built-in decoder gives "" then). After a 0 the
 * output holds nothing meaningful: the caller cuts it to the 0 returned.
 */
FNCRYPTLIB_API int32_t DecodeText(const uint8_t* text, int32_t length, uint8_t* output);

/* b XOR the next keystream byte; advances the keystream one step. */
FNCRYPTLIB_API uint8_t CipherByte(uint8_t b);

#ifdef __cplusplus
}
#endif

#endif /* FNCRYPTLIB_H */
