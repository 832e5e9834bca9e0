// Text Encoding Converter: converter objects between two encodings, over the same engine as
// the Unicode Converter (UnicodeConverter.h): any pair of the encodings it converts,
// Unicode or not, with the decomposition the output encoding's variant asks for.
#pragma once

#include <Carbon/TextCommon.h>

typedef struct OpaqueTECObjectRef *TECObjectRef;

// A converter from inputEncoding to outputEncoding. paramErr for a null output,
// kTextUnsupportedEncodingErr for an encoding this layer does not convert.
OSStatus TECCreateConverter(TECObjectRef *newEncodingConverter, TextEncoding inputEncoding,
                            TextEncoding outputEncoding);

// Converts whole characters of the input into at most outputBufferLength bytes. noErr when
// all the input was converted; kTECOutputBufferFullStatus when the output filled first;
// kTECPartialCharErr when the input ends inside a character (the complete characters before
// it are converted); kTextMalformedInputErr, kTextUndefinedElementErr,
// kTECUnmappableElementErr as for the Unicode Converter (no fallbacks). *actualInputLength
// and *actualOutputLength tell what was done in every case. paramErr for a null converter
// or null arguments.
OSStatus TECConvertText(TECObjectRef encodingConverter, ConstTextPtr inputBuffer, ByteCount inputBufferLength,
                        ByteCount *actualInputLength, TextPtr outputBuffer, ByteCount outputBufferLength,
                        ByteCount *actualOutputLength);

// Disposes of the converter; paramErr for null.
OSStatus TECDisposeConverter(TECObjectRef newEncodingConverter);
