// The cipher of the engine's data files ("engine.dat" and the update patches): RC4 from the
// Microsoft Enhanced Cryptographic Provider, keyed with the MD5 of the engine's pass phrase, over
// the whole file as one stream (no header, no padding: the ciphertext is as long as the text).
// Each function returns 1 when the whole input was processed, 0 on any failure; no temporary
// file of theirs survives the call.
#pragma once

// Enciphers source into destination (source and destination may be the same file).
int EncryptDataFile(const char* source, const char* destination);
// Deciphers source into destination (source and destination may be the same file).
int DecryptDataFile(const char* source, const char* destination);
// Deciphers only the head of source: stops after the first 1000-byte chunk that brings the
// written total above 2000 bytes, so at most 3000 bytes; no message box on failure.
int DecryptDataFileHead(const char* source, const char* destination);
// Copies source byte for byte to destination (created or truncated).
int CopyDataFile(const char* source, const char* destination);
