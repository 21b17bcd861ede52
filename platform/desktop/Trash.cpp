// The module's trash: GIO's, the freedesktop.org one, a trash folder on each volume.

#include <gio/gio.h>

#include "platform/desktop/Module.h"

namespace quorvel::desktop {

char* Trash(const char* path) {
    // An error where GIO cannot take the item. The name goes in as the file system's own
    // bytes.
    GFile* file = g_file_new_for_path(path);
    GError* error = nullptr;
    const bool trashed = g_file_trash(file, nullptr, &error);
    g_object_unref(file);
    if (trashed) return nullptr;
    char* why = Copy(error ? error->message : "no trash");
    g_clear_error(&error);
    return why;
}

}  // namespace quorvel::desktop
