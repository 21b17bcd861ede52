#pragma once

#include <QString>
#include <vector>

namespace quorvel::platform {

// A mounted volume as the drive list shows it.
struct Volume {
    QString RootPath;
    QString Name;  // the desktop's name for it; empty where that is just its path
    bool Ready = true;
};

// The home folder, then the mounted volumes but the system's own, or the ones a test
// installed with SetVolumesForTesting.
std::vector<Volume> MountedVolumes();
void SetVolumesForTesting(std::vector<Volume> volumes);

// The root of the volume that holds a path.
QString VolumeRootOf(const QString& path);

}  // namespace quorvel::platform
