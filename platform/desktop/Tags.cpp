// The module's ID3v2 tags and chapters, through TagLib.

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
#include <set>
#include <string>
#include <vector>

#include "platform/desktop/Module.h"

namespace quorvel::desktop {
namespace {

// The bytes of one tag as a file TagLib can read a tag from.
class TagBytes final : public TagLib::File {
  public:
    explicit TagBytes(TagLib::IOStream* stream) : TagLib::File(stream) {}
    TagLib::Tag* tag() const override { return nullptr; }
    TagLib::AudioProperties* audioProperties() const override { return nullptr; }
    bool save() override { return false; }
};

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

// A tag read from its bytes, with what TagLib reads it through; without any, a new one, as
// TagLib makes it: version 4.
struct ReadTag {
    ReadTag(const unsigned char* id3v2, std::size_t size)
        : bytes(reinterpret_cast<const char*>(id3v2), static_cast<unsigned int>(size)),
          stream(bytes),
          file(&stream),
          tag(&file, 0, TagLib::ID3v2::FrameFactory::instance()) {}

    TagLib::ByteVector bytes;
    TagLib::ByteVectorStream stream;
    TagBytes file;
    TagLib::ID3v2::Tag tag;
};

// A text frame of its own in place of the tag's.
void SetText(TagLib::ID3v2::Tag& tag, const char* id, const TagLib::String& text,
             TagLib::String::Type encoding) {
    tag.removeFrames(id);
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(id, encoding);
    frame->setText(text);
    tag.addFrame(frame);  // the tag owns it from here
}

// The tag written out in its own version, 3 or else 4 (TagLib writes no other): `*length`
// bytes the caller is to free(), null where they cannot be had.
unsigned char* Rendered(const TagLib::ID3v2::Tag& tag, bool three, std::size_t* length) {
    const auto version = three ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4;
    const TagLib::ByteVector rendered = tag.render(version);
    auto* out = static_cast<unsigned char*>(std::malloc(rendered.size()));
    if (!out) return nullptr;
    std::memcpy(out, rendered.data(), rendered.size());
    *length = rendered.size();
    return out;
}

}  // namespace

unsigned char* TagForPart(const unsigned char* id3v2, std::size_t size, long long startMs,
                          long long lengthMs, int track, int tracks, const char* title,
                          const char* performer, std::size_t* length) {
    try {
        // Without a source tag, a new one.
        ReadTag read(id3v2, size);
        TagLib::ID3v2::Tag& tag = read.tag;
        const TagLib::ID3v2::FrameListMap& frames = tag.frameListMap();
        const bool labelled = track > 0 || *title || *performer;
        if ((size > 0 && !tag.header()) || (!labelled && !frames.contains("TLEN") &&
                                            !frames.contains("CHAP") && !frames.contains("CTOC"))) {
            return nullptr;
        }

        const auto set = [&tag](const char* id, const TagLib::String& text,
                                TagLib::String::Type encoding) {
            SetText(tag, id, text, encoding);
        };
        if (frames.contains("TLEN")) {
            set("TLEN", TagLib::String(std::to_string(lengthMs)), TagLib::String::Latin1);
        }
        if (track > 0) {
            set("TRCK", TagLib::String(std::to_string(track) + "/" + std::to_string(tracks)),
                TagLib::String::Latin1);
        }
        // TagLib writes versions 3 and 4; a version 2 tag comes out as version 4. A title
        // in UTF-8 where version 4 takes it, in UTF-16 in version 3.
        const bool three = tag.header()->majorVersion() == 3;
        const auto text = three ? TagLib::String::UTF16 : TagLib::String::UTF8;
        if (*title) set("TIT2", TagLib::String(title, TagLib::String::UTF8), text);
        if (*performer) set("TPE1", TagLib::String(performer, TagLib::String::UTF8), text);
        ClipChapters(tag, startMs, startMs + lengthMs);
        return Rendered(tag, three, length);
    } catch (...) {
        return nullptr;
    }
}

QuorvelChapter* Chapters(const unsigned char* id3v2, std::size_t size, std::size_t* count) {
    try {
        const ReadTag read(id3v2, size);
        const TagLib::ID3v2::Tag& tag = read.tag;
        if (!tag.header()) return nullptr;
        const TagLib::ID3v2::FrameList frames = tag.frameList("CHAP");
        std::vector<QuorvelChapter> found;
        for (const TagLib::ID3v2::Frame* frame : frames) {
            const auto* chapter = dynamic_cast<const TagLib::ID3v2::ChapterFrame*>(frame);
            if (!chapter) continue;
            const TagLib::ID3v2::FrameList titles = chapter->embeddedFrameList("TIT2");
            const std::string title =
                titles.isEmpty() ? std::string() : titles.front()->toString().to8Bit(true);
            found.push_back(
                {chapter->startTime(), chapter->endTime(), title.empty() ? nullptr : Copy(title)});
        }
        if (found.empty()) return nullptr;
        auto* out =
            static_cast<QuorvelChapter*>(std::malloc(found.size() * sizeof(QuorvelChapter)));
        if (!out) {
            for (const QuorvelChapter& chapter : found) std::free(chapter.title);
            return nullptr;
        }
        std::copy(found.begin(), found.end(), out);
        *count = found.size();
        return out;
    } catch (...) {
        return nullptr;
    }
}

unsigned char* TagWithChapters(const unsigned char* id3v2, std::size_t size,
                               const QuorvelChapter* chapters, std::size_t count,
                               long long lengthMs, std::size_t* length) {
    try {
        ReadTag read(id3v2, size);
        TagLib::ID3v2::Tag& tag = read.tag;
        if (size > 0 && !tag.header()) return nullptr;
        tag.removeFrames("CHAP");
        tag.removeFrames("CTOC");
        if (tag.frameListMap().contains("TLEN")) {
            SetText(tag, "TLEN", TagLib::String(std::to_string(lengthMs)), TagLib::String::Latin1);
        }
        const bool three = tag.header()->majorVersion() == 3;
        TagLib::ByteVectorList listed;
        for (std::size_t i = 0; i < count; ++i) {
            const TagLib::ByteVector id(("chp" + std::to_string(i)).c_str());
            auto* chapter = new TagLib::ID3v2::ChapterFrame(
                id, static_cast<unsigned int>(chapters[i].start),
                static_cast<unsigned int>(chapters[i].end), 0xFFFFFFFF, 0xFFFFFFFF);
            if (chapters[i].title) {
                auto* title = new TagLib::ID3v2::TextIdentificationFrame(
                    "TIT2", three ? TagLib::String::UTF16 : TagLib::String::UTF8);
                title->setText(TagLib::String(chapters[i].title, TagLib::String::UTF8));
                chapter->addEmbeddedFrame(title);
            }
            tag.addFrame(chapter);
            listed.append(id);
        }
        auto* table = new TagLib::ID3v2::TableOfContentsFrame("toc", listed);
        table->setIsTopLevel(true);
        table->setIsOrdered(true);
        tag.addFrame(table);
        return Rendered(tag, three, length);
    } catch (...) {
        return nullptr;
    }
}

char* TitleOf(const unsigned char* id3v2, std::size_t size) {
    try {
        const ReadTag read(id3v2, size);
        if (!read.tag.header()) return nullptr;
        const TagLib::ID3v2::FrameList titles = read.tag.frameList("TIT2");
        if (titles.isEmpty()) return nullptr;
        const std::string title = titles.front()->toString().to8Bit(true);
        return title.empty() ? nullptr : Copy(title);
    } catch (...) {
        return nullptr;
    }
}

unsigned char* TagWithUserTexts(const unsigned char* id3v2, std::size_t size,
                                const char* const* descriptions, const char* const* values,
                                std::size_t count, std::size_t* length) {
    try {
        ReadTag read(id3v2, size);
        TagLib::ID3v2::Tag& tag = read.tag;
        if (size > 0 && !tag.header()) return nullptr;
        for (std::size_t i = 0; i < count; ++i) {
            const TagLib::String description(descriptions[i], TagLib::String::UTF8);
            const TagLib::ID3v2::FrameList frames = tag.frameList("TXXX");
            for (TagLib::ID3v2::Frame* frame : frames) {
                const auto* text = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame);
                if (text && text->description().upper() == description.upper()) {
                    tag.removeFrame(frame);
                }
            }
            auto* text = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::Latin1);
            text->setDescription(description);
            text->setText(TagLib::String(values[i], TagLib::String::UTF8));
            tag.addFrame(text);  // the tag owns it from here
        }
        return Rendered(tag, tag.header()->majorVersion() == 3, length);
    } catch (...) {
        return nullptr;
    }
}

}  // namespace quorvel::desktop
