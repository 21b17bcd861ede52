// The module's table of services, which the programs check for its version, size and layout,
// and that it lies within the module, before they call any of it.

#include "platform/desktop/Module.h"

extern "C" __attribute__((visibility("default"))) const QuorvelDesktopModule* QuorvelDesktop() {
    using namespace quorvel::desktop;
    static const QuorvelDesktopModule module{.version = kQuorvelDesktopVersion,
                                             .size = sizeof(QuorvelDesktopModule),
                                             .layout = QUORVEL_DESKTOP_LAYOUT,
                                             .Trash = Trash,
                                             .TagForPart = TagForPart,
                                             .Chapters = Chapters,
                                             .DecoderUnavailable = DecoderUnavailable,
                                             .DecoderOpen = DecoderOpen,
                                             .DecoderRead = DecoderRead,
                                             .DecoderClose = DecoderClose,
                                             .DecoderSilenced = DecoderSilenced,
                                             .DecoderFrames = DecoderFrames,
                                             .DecoderGlance = DecoderGlance,
                                             .ParseCueSheet = ParseCueSheet,
                                             .Translate = Translate,
                                             .TagWithChapters = TagWithChapters,
                                             .TitleOf = TitleOf,
                                             .TagWithUserTexts = TagWithUserTexts};
    return &module;
}
