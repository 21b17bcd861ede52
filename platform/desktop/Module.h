#pragma once

// libquorvel-desktop.so, a source file a service: the trash through GIO, ID3v2 tags and
// chapters through TagLib, cue sheets through libcue, the translations through Qt Core, and
// decoding through libmpg123, which the module loads in turn when it first decodes.
// Module.cpp gathers them into the table the programs load. Each is as its field of
// `QuorvelDesktopModule` describes it; none lets anything thrown leave the module, as the
// caller's runtime could not catch it.

#include <cstddef>
#include <cstring>
#include <string>

#include "platform/DesktopServices.h"

namespace quorvel::desktop {

// Trash.cpp
char* Trash(const char* path);

// Tags.cpp
unsigned char* TagForPart(const unsigned char* id3v2, std::size_t size, long long startMs,
                          long long lengthMs, int track, int tracks, const char* title,
                          const char* performer, std::size_t* length);
QuorvelChapter* Chapters(const unsigned char* id3v2, std::size_t size, std::size_t* count);
unsigned char* TagWithChapters(const unsigned char* id3v2, std::size_t size,
                               const QuorvelChapter* chapters, std::size_t count,
                               long long lengthMs, std::size_t* length);
char* TitleOf(const unsigned char* id3v2, std::size_t size);
unsigned char* TagWithUserTexts(const unsigned char* id3v2, std::size_t size,
                                const char* const* descriptions, const char* const* values,
                                std::size_t count, std::size_t* length);

// Decoder.cpp
char* DecoderUnavailable();
QuorvelDecoding* DecoderOpen(const QuorvelFileReader* reader, long long statedFrames,
                             long long walkedFrames, const long long* index, long long step,
                             std::size_t count, bool nearSeeks, long* rate, int* channels,
                             long long* length, char** why);
long long DecoderRead(QuorvelDecoding* decoding, long long from, long long count, short* samples,
                      char** why);
void DecoderClose(QuorvelDecoding* decoding);
long long DecoderSilenced(const QuorvelDecoding* decoding);
void DecoderFrames(QuorvelDecoding* decoding, long long audioStart, const QuorvelFrame* frames,
                   long long count);
long long DecoderGlance(QuorvelDecoding* decoding, long long from, long long count, short* samples,
                        char** why);

// CueSheets.cpp
QuorvelCueTrack* ParseCueSheet(const char* text, std::size_t* count);

// Translation.cpp
char* Translate(const char* context, const char* source, const char* disambiguation, int n);

// The text as the caller takes it, its to free(); null for none.
inline char* Copy(const char* text) {
    return text ? ::strdup(text) : nullptr;
}
inline char* Copy(const std::string& text) {
    return Copy(text.c_str());
}

}  // namespace quorvel::desktop
