#include "platform/Registry.h"

#include <QProcess>
#include <QStandardPaths>
#include <cstring>

namespace quorvel::platform {
namespace {

constexpr KeyHandle kSystemInformationKey = 1;

// Answers "PATH" under the system-information key with the first system-information
// program on the search path.
class SearchPathRegistry final : public Registry {
  public:
    long OpenKey(std::uint32_t root, const std::string& keyName, std::uint32_t,
                 KeyHandle& key) override {
        if (root != HKEY_LOCAL_MACHINE || keyName != "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO") {
            return ERROR_FILE_NOT_FOUND;
        }
        key = kSystemInformationKey;
        return ERROR_SUCCESS;
    }

    long QueryValue(KeyHandle key, const std::string& valueName, std::uint32_t& type,
                    std::vector<std::uint8_t>& data, std::uint32_t& size) override {
        if (key != kSystemInformationKey || valueName != "PATH") return ERROR_FILE_NOT_FOUND;
        for (const char* tool : {"hardinfo2", "hardinfo", "kinfocenter", "gnome-system-monitor"}) {
            const std::string path =
                QStandardPaths::findExecutable(QString::fromLatin1(tool)).toStdString();
            if (path.empty()) continue;
            type = REG_SZ;
            size = static_cast<std::uint32_t>(path.size() + 1);  // with its terminating zero
            if (size > data.size()) return ERROR_MORE_DATA;
            std::memcpy(data.data(), path.c_str(), size);
            return ERROR_SUCCESS;
        }
        return ERROR_FILE_NOT_FOUND;
    }

    long CloseKey(KeyHandle) override { return ERROR_SUCCESS; }
};

Registry* installed = nullptr;

}  // namespace

Registry& Registry::Current() {
    static SearchPathRegistry real;
    return installed ? *installed : real;
}

void Registry::Install(Registry* registry) {
    installed = registry;
}

bool StartProgram(const std::string& path) {
    return QProcess::startDetached(QString::fromStdString(path), {});
}

}  // namespace quorvel::platform
