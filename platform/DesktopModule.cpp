// libquorvel-desktop.so: the trash through GIO and ID3v2 tags through TagLib, loaded by
// the programs when they first need either.

#include <gio/gio.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfile.h>

#include "platform/DesktopServices.h"

namespace quorvel::platform {
namespace {

// The bytes of one tag as a file TagLib can read a tag from.
class TagBytes final : public TagLib::File {
  public:
    explicit TagBytes(TagLib::IOStream* stream) : TagLib::File(stream) {}
    TagLib::Tag* tag() const override { return nullptr; }
    TagLib::AudioProperties* audioProperties() const override { return nullptr; }
    bool save() override { return false; }
};

class Desktop final : public DesktopServices {
  public:
    std::optional<std::string> Trash(const std::string& path) override {
        // GIO's trash: the freedesktop.org one, a trash folder on each volume, and an
        // error where it cannot take the item. The name goes in as the file system's own
        // bytes.
        GFile* file = g_file_new_for_path(path.c_str());
        GError* error = nullptr;
        const bool trashed = g_file_trash(file, nullptr, &error);
        g_object_unref(file);
        if (trashed) return std::nullopt;
        std::string why = error ? error->message : "no trash";
        g_clear_error(&error);
        return why;
    }

    std::optional<std::vector<std::uint8_t>> TagWithLength(std::span<const std::uint8_t> id3v2,
                                                           std::int64_t milliseconds) override {
        TagLib::ByteVector bytes(reinterpret_cast<const char*>(id3v2.data()),
                                 static_cast<unsigned int>(id3v2.size()));
        TagLib::ByteVectorStream stream(bytes);
        TagBytes file(&stream);
        TagLib::ID3v2::Tag tag(&file, 0, TagLib::ID3v2::FrameFactory::instance());
        if (!tag.header() || !tag.frameListMap().contains("TLEN")) return std::nullopt;

        tag.removeFrames("TLEN");
        auto* length = new TagLib::ID3v2::TextIdentificationFrame("TLEN", TagLib::String::Latin1);
        length->setText(TagLib::String(std::to_string(milliseconds)));
        tag.addFrame(length);  // the tag owns it from here
        // TagLib writes versions 3 and 4; a version 2 tag comes out as version 4.
        const auto version =
            tag.header()->majorVersion() == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4;
        const TagLib::ByteVector rendered = tag.render(version);
        return std::vector<std::uint8_t>(rendered.begin(), rendered.end());
    }
};

}  // namespace
}  // namespace quorvel::platform

extern "C" __attribute__((visibility("default"))) quorvel::platform::DesktopServices*
QuorvelDesktopServices() {
    static quorvel::platform::Desktop desktop;
    return &desktop;
}
