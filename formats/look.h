#ifndef LOOK_H
#define LOOK_H

// Hexadecimal text of the .look format.

// The value (0 to 15) of one hexadecimal digit of either case; for any other character the
// value is 0 and the result false.
bool hexasciitoint(char &value, char digit);

// Eight hexadecimal digits as a little-endian IEEE 754 single-precision float: characters 1-2
// are the least significant byte, high four bits first ("0000803f" is 1.0). False at the first
// character that is not a digit, which is the last one read; `value` is then left unchanged.
bool hexasciitofloat(float &value, const char *text);

#endif
