#include "platform/Volumes.h"

#include <QCoreApplication>
#include <QDir>
#include <QSet>
#include <QStorageInfo>
#include <optional>

namespace quorvel::platform {
namespace {

std::optional<std::vector<Volume>>& TestVolumes() {
    static std::optional<std::vector<Volume>> volumes;
    return volumes;
}

// The system's own mounts, which hold nothing a user splits into: kernel file systems,
// snap images, and what lies under /proc, /sys, /dev and /run (but removable media there).
bool IsSystemMount(const QStorageInfo& storage) {
    static const QSet<QByteArray> kernel{
        "proc",      "sysfs",      "devtmpfs",    "devpts",   "cgroup",   "cgroup2", "pstore",
        "bpf",       "securityfs", "debugfs",     "tracefs",  "configfs", "fusectl", "mqueue",
        "hugetlbfs", "autofs",     "binfmt_misc", "efivarfs", "squashfs", "nsfs",    "rpc_pipefs"};
    const QString root = storage.rootPath();
    const auto under = [&root](const char* folder) {
        const QString base = QLatin1String(folder);
        return root == base || root.startsWith(base + u'/');
    };
    return kernel.contains(storage.fileSystemType()) || under("/proc") || under("/sys") ||
           under("/dev") || (under("/run") && !under("/run/media"));
}

}  // namespace

std::vector<Volume> MountedVolumes() {
    if (TestVolumes()) return *TestVolumes();
    // The home folder first, as file managers list it; then the volumes by the names the
    // desktop gives them.
    std::vector<Volume> volumes{
        {QDir::homePath(), QCoreApplication::translate("Volumes", "Home"), true}};
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
        if (IsSystemMount(storage)) continue;
        const QString name = storage.displayName();
        volumes.push_back(
            {storage.rootPath(), name == storage.rootPath() ? QString() : name, storage.isReady()});
    }
    return volumes;
}

void SetVolumesForTesting(std::vector<Volume> volumes) {
    TestVolumes() = std::move(volumes);
}

QString VolumeRootOf(const QString& path) {
    return QStorageInfo(path).rootPath();
}

}  // namespace quorvel::platform
