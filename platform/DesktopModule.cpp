// libquorvel-desktop.so: the trash through GIO and ID3v2 tags through TagLib, loaded by
// the programs when they first need either.

#include <gio/gio.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfile.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/DesktopServices.h"

namespace {

// The bytes of one tag as a file TagLib can read a tag from.
class TagBytes final : public TagLib::File {
  public:
    explicit TagBytes(TagLib::IOStream* stream) : TagLib::File(stream) {}
    TagLib::Tag* tag() const override { return nullptr; }
    TagLib::AudioProperties* audioProperties() const override { return nullptr; }
    bool save() override { return false; }
};

char* Trash(const char* path) {
    // GIO's trash: the freedesktop.org one, a trash folder on each volume, and an error
    // where it cannot take the item. The name goes in as the file system's own bytes.
    GFile* file = g_file_new_for_path(path);
    GError* error = nullptr;
    const bool trashed = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (trashed) return nullptr;
    char* why = ::strdup(error ? error->message : "no trash");
    g_clear_error(&error);
    return why;
}

unsigned char* TagWithLength(const unsigned char* id3v2, std::size_t size, long long milliseconds,
                             std::size_t* length) {
    // Nothing thrown may leave the module: the caller's runtime could not catch it.
    try {
        TagLib::ByteVector bytes(reinterpret_cast<const char*>(id3v2),
                                 static_cast<unsigned int>(size));
        TagLib::ByteVectorStream stream(bytes);
        TagBytes file(&stream);
        TagLib::ID3v2::Tag tag(&file, 0, TagLib::ID3v2::FrameFactory::instance());
        if (!tag.header() || !tag.frameListMap().contains("TLEN")) return nullptr;

        tag.removeFrames("TLEN");
        auto* frame = new TagLib::ID3v2::TextIdentificationFrame("TLEN", TagLib::String::Latin1);
        frame->setText(TagLib::String(std::to_string(milliseconds)));
        tag.addFrame(frame);  // the tag owns it from here
        // TagLib writes versions 3 and 4; a version 2 tag comes out as version 4.
        const auto version =
            tag.header()->majorVersion() == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4;
        const TagLib::ByteVector rendered = tag.render(version);
        auto* out = static_cast<unsigned char*>(std::malloc(rendered.size()));
        if (!out) return nullptr;
        std::memcpy(out, rendered.data(), rendered.size());
        *length = rendered.size();
        return out;
    } catch (...) {
        return nullptr;
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) const QuorvelDesktopModule* QuorvelDesktop() {
    static const QuorvelDesktopModule module{Trash, TagWithLength};
    return &module;
}
