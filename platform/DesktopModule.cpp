// libquorvel-desktop.so: the trash through GIO and ID3v2 tags through TagLib, loaded by
// the programs when they first need either.

#include <gio/gio.h>
#include <taglib/chapterframe.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/tableofcontentsframe.h>
#include <taglib/tbytevectorstream.h>
#include <taglib/textidentificationframe.h>
#include <taglib/tfile.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
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

// The chapters (CHAP) of the part that lies at [start, end) of the source: those that
// overlap it, clipped to it and timed from its start. Their byte offsets point into the
// source, so they are marked unused. Each table of contents (CTOC) lists only what is
// left, and goes where nothing is.
void ClipChapters(TagLib::ID3v2::Tag& tag, long long start, long long end) {
    std::set<TagLib::ByteVector> present;
    const TagLib::ID3v2::FrameList chapters = tag.frameList("CHAP");
    for (TagLib::ID3v2::Frame* frame : chapters) {
        auto* chapter = dynamic_cast<TagLib::ID3v2::ChapterFrame*>(frame);
        // One TagLib cannot read (encrypted, say) has no times to keep.
        if (!chapter) {
            tag.removeFrame(frame);
            continue;
        }
        const long long from = chapter->startTime();
        const long long to = std::max<long long>(chapter->endTime(), from);
        // A chapter without length marks a point, kept where the part holds it.
        if (from >= end || (to <= start && from < start)) {
            tag.removeFrame(frame);
            continue;
        }
        chapter->setStartTime(static_cast<unsigned int>(std::max(from, start) - start));
        chapter->setEndTime(static_cast<unsigned int>(std::min(to, end) - start));
        chapter->setStartOffset(0xFFFFFFFF);
        chapter->setEndOffset(0xFFFFFFFF);
        present.insert(chapter->elementID());
    }
    // A table may list another: removing an empty one can empty the one that lists it.
    for (bool removed = true; removed;) {
        removed = false;
        std::set<TagLib::ByteVector> listed = present;
        const TagLib::ID3v2::FrameList tables = tag.frameList("CTOC");
        for (TagLib::ID3v2::Frame* frame : tables) {
            if (auto* table = dynamic_cast<TagLib::ID3v2::TableOfContentsFrame*>(frame)) {
                listed.insert(table->elementID());
            }
        }
        for (TagLib::ID3v2::Frame* frame : tables) {
            auto* table = dynamic_cast<TagLib::ID3v2::TableOfContentsFrame*>(frame);
            TagLib::ByteVectorList kept;
            if (table) {
                for (const TagLib::ByteVector& child : table->childElements()) {
                    if (listed.count(child)) kept.append(child);
                }
            }
            if (kept.isEmpty()) {
                tag.removeFrame(frame);
                removed = true;
            } else if (kept.size() != table->entryCount()) {
                table->setChildElements(kept);
            }
        }
    }
}

unsigned char* TagForPart(const unsigned char* id3v2, std::size_t size, long long startMs,
                          long long lengthMs, std::size_t* length) {
    // Nothing thrown may leave the module: the caller's runtime could not catch it.
    try {
        TagLib::ByteVector bytes(reinterpret_cast<const char*>(id3v2),
                                 static_cast<unsigned int>(size));
        TagLib::ByteVectorStream stream(bytes);
        TagBytes file(&stream);
        TagLib::ID3v2::Tag tag(&file, 0, TagLib::ID3v2::FrameFactory::instance());
        const TagLib::ID3v2::FrameListMap& frames = tag.frameListMap();
        if (!tag.header() ||
            (!frames.contains("TLEN") && !frames.contains("CHAP") && !frames.contains("CTOC"))) {
            return nullptr;
        }

        if (frames.contains("TLEN")) {
            tag.removeFrames("TLEN");
            auto* frame =
                new TagLib::ID3v2::TextIdentificationFrame("TLEN", TagLib::String::Latin1);
            frame->setText(TagLib::String(std::to_string(lengthMs)));
            tag.addFrame(frame);  // the tag owns it from here
        }
        ClipChapters(tag, startMs, startMs + lengthMs);
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
    static const QuorvelDesktopModule module{Trash, TagForPart};
    return &module;
}
