// Compiled as an engine source is, with the engine's include folders alone. The layer
// check builds it three times: as it stands it must compile; made to include a header of
// another layer, or Qt, it must not.
#if defined(QUORVEL_PROBE_PLATFORM)
#include "platform/LocalFileSystem.h"
#elif defined(QUORVEL_PROBE_QT)
#include <QtCore/QString>
#else
#include "engine/Split.h"
#endif

int QuorvelLayerProbe() {
    return 0;
}
