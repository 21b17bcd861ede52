#pragma once

#include <QString>
#include <vector>

namespace quorvel::platform {

// A mounted volume as the drive list shows it.
struct Volume {
    QString RootPath;
    QString Name;  // the label; empty when the volume has none
    bool Ready = true;
};

// The mounted volumes, or the ones a test installed with SetVolumesForTesting.
std::vector<Volume> MountedVolumes();
void SetVolumesForTesting(std::vector<Volume> volumes);

// The root of the volume that holds a path.
QString VolumeRootOf(const QString& path);

}  // namespace quorvel::platform
