#include "platform/Volumes.h"

#include <QStorageInfo>
#include <optional>

namespace quorvel::platform {
namespace {

std::optional<std::vector<Volume>>& TestVolumes() {
    static std::optional<std::vector<Volume>> volumes;
    return volumes;
}

}  // namespace

std::vector<Volume> MountedVolumes() {
    if (TestVolumes()) return *TestVolumes();
    std::vector<Volume> volumes;
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
        volumes.push_back({storage.rootPath(), storage.name(), storage.isReady()});
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
